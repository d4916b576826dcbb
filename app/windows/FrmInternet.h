#pragma once
// The download window "Internet download": shown while a transfer runs,
// with the source, the address, the bytes received, a bar and Cancel. It
// does the downloads of the Internet sources and of the catalogue update.
// While it is shown no other window takes input, so nothing can start a
// second download or change what this one uses.

#include "internet/InternetDownload.h"

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tavrin
{

class FrmInternet : public QWidget, public DownloadDisplay
{
    Q_OBJECT

  public:
    FrmInternet(Form1State& f, Prompt& prompt, QWidget* parent = nullptr);

    void PrepareInternetRequest(const std::string& strSiteMain,
                                const std::string& strInternetFolderAndFile)
    {
        download.PrepareInternetRequest(strSiteMain, strInternetFolderAndFile);
    }
    void GetInternetData(const std::string& strUrl, const std::string& strFolderFile,
                         const std::string& strSite, const std::string& strText)
    {
        download.GetInternetData(strUrl, strFolderFile, strSite, strText);
    }
    void GetInternetFile(const std::string& strUrl, const std::string& strFolderFile)
    {
        download.GetInternetFile(strUrl, strFolderFile);
    }

    void showDownload(const std::string& label2, const std::string& text1) override;
    void showProgress(qint64 received, qint64 total) override;
    void closeDownload() override;

    InternetDownload download;

    QLabel* Picture1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtText1 = nullptr;
    QLabel* lblBytes = nullptr;
    QProgressBar* barProgress = nullptr;
    QPushButton* cmdCancel = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool receiving_ = false;
    QElapsedTimer shownProgress_;
};

} // namespace tavrin
