// A password-protected archive unpacked with the main window's own prompt:
// Varnock asks through a modal Qt input box over the main window, and the
// answer typed there (or the box declined) decides what is unpacked.

#include "launch/ZippedSoftware.h"

#include "TempDir.h"
#include "WindowFixture.h"
#include "launch/VarnockComponent.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

namespace tavrin {
namespace {

namespace fs = std::filesystem;

// Answers every modal dialog that opens: the password box with `password`
// (declined when none), every message box with OK. Records what was shown.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::optional<std::string> password) : password_(std::move(password))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start(5);
    }

    struct Seen {
        std::string kind, title, text, defaultValue;
        bool modal = false;
        QWidget* parent = nullptr;
    };
    std::vector<Seen> seen;

private:
    void answer()
    {
        QWidget* w = QApplication::activeModalWidget();
        // Dialogs live on the stack: one may reuse the last one's address.
        if (!w || w->property("answered").toBool())
            return;
        w->setProperty("answered", true);
        if (auto* input = qobject_cast<QInputDialog*>(w)) {
            seen.push_back({"input", input->windowTitle().toStdString(),
                            input->labelText().toStdString(), input->textValue().toStdString(),
                            input->isModal(), input->parentWidget()});
            if (password_) {
                input->setTextValue(QString::fromStdString(*password_));
                input->accept();
            } else {
                input->reject();
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen.push_back({"message", box->windowTitle().toStdString(), box->text().toStdString(),
                            "", box->isModal(), box->parentWidget()});
            box->accept();
        }
    }

    std::optional<std::string> password_;
    QTimer timer_;
};

TEST(ZippedSoftwarePassword, TypedIntoTheMainWindowsQuestionOrDeclined)
{
    test::ensureApplication();
    test::TempDir t;
    t.write("src/Secret.ssd", std::string(512, 'S'));
    const std::string zip = "cd '" + (t / "src").string() + "' && zip -q -P swordfish ../Secret.zip Secret.ssd";
    ASSERT_EQ(std::system(zip.c_str()), 0);

    struct Row {
        std::optional<std::string> password;
        int iZipped;
        std::vector<std::string> messages; // after the password question
    } rows[] = {
        {std::string("swordfish"), 1, {}},
        {std::nullopt, 0,
         {"", // the unpacker's text
          "The compressed file did not contain a standard archive (1)",
          "The compressed file did not contain a standard archive (2)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.password.value_or("declined"));
        Form1 form; // its own prompt: Qt dialogs over the window
        form.show();
        const fs::path temp = t / "Temp";
        fs::remove_all(temp);
        form.f.sFullFilename = (t / "Secret.zip").string();
        form.f.sFilenameNoExt = "Secret";
        form.f.sTempDir = temp.string();
        form.f.iZipped = 0;

        DialogAnswerer answerer(row.password);
        const bool ok =
            UnzipSoftware(form.f, form.prompt(), UnzipFilesFactory(form.prompt(), TAVRIN_APP_DIR),
                          [&](const std::string& s) { form.txtInfo->appendPlainText(QString::fromStdString(s)); });
        EXPECT_TRUE(ok);
        EXPECT_EQ(form.f.iZipped, row.iZipped);

        ASSERT_EQ(answerer.seen.size(), 1 + row.messages.size());
        const auto& question = answerer.seen[0];
        EXPECT_EQ(question.kind, "input");
        EXPECT_EQ(question.text, "Please Enter The Password!");
        EXPECT_EQ(question.title, "Varnock");
        EXPECT_EQ(question.defaultValue, "");
        EXPECT_TRUE(question.modal);
        EXPECT_EQ(question.parent, &form);
        for (size_t i = 0; i < row.messages.size(); ++i) {
            EXPECT_EQ(answerer.seen[i + 1].kind, "message");
            EXPECT_EQ(answerer.seen[i + 1].title, kProgramTitle);
            if (row.messages[i].empty()) // the unpacker's own text names the archive
                EXPECT_NE(answerer.seen[i + 1].text.find("Secret.zip"), std::string::npos);
            else
                EXPECT_EQ(answerer.seen[i + 1].text, row.messages[i]);
        }
        if (row.iZipped) {
            EXPECT_EQ(form.f.sFullFilename, temp.string() + "\\Secret.ssd");
            EXPECT_EQ(test::readFile(temp / "Secret.ssd"), std::string(512, 'S'));
            EXPECT_TRUE(form.txtInfo->toPlainText().endsWith(".ssd"));
        } else {
            EXPECT_FALSE(fs::exists(temp / "Secret.ssd"));
        }
    }
}

} // namespace
} // namespace tavrin
