#pragma once
// Runs the real tavrin under Xvfb: a display of its own, a fresh application
// folder holding the program and what a test puts beside it, keys typed with
// xdotool, screenshots with ImageMagick's import.

#include "TempDir.h"
#include "core/TextHelpers.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace tavrin::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The application folder the build made: the program, its libraries, the data.
inline fs::path builtAppDir() { return fs::path(TAVRIN_APP_DIR); }

// A virtual X display that lives as long as this object.
class Xvfb {
public:
    Xvfb()
    {
        // Xvfb picks a free display number itself and writes it to its
        // standard output: cases started side by side never share one.
        server_.setProcessChannelMode(QProcess::SeparateChannels);
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1600x1000x24"),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server_.waitForStarted(5000))
            throw std::runtime_error("Xvfb cannot be started: is the xvfb package installed?");
        QByteArray number;
        const auto until = std::chrono::steady_clock::now() + 20s;
        while (!number.contains('\n') && std::chrono::steady_clock::now() < until &&
               server_.state() == QProcess::Running) {
            server_.waitForReadyRead(200);
            number += server_.readAllStandardOutput();
        }
        bool ok = false;
        const int n = number.trimmed().toInt(&ok);
        if (!ok)
            throw std::runtime_error("Xvfb did not start a display");
        display_ = concat({":", std::to_string(n)});
    }
    ~Xvfb()
    {
        server_.terminate();
        if (!server_.waitForFinished(3000)) {
            server_.kill();
            server_.waitForFinished(2000);
        }
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    const std::string& display() const { return display_; }

    // Sizes a window to the design's 1024 by 768 pixels, where the main
    // window's controls stand at their unscaled places.
    bool designSize(const std::string& window) const
    {
        const QStringList args{QStringLiteral("windowsize"), QString::fromStdString(window),
                               QStringLiteral("1024"), QStringLiteral("768")};
        const bool sized = run(QStringLiteral("xdotool"), args).has_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return sized;
    }

    // Runs a command on this display and returns what it printed; nullopt
    // when it failed.
    std::optional<std::string> run(const QString& program, const QStringList& args,
                                   int timeoutMs = 10000) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(program, args);
        if (!p.waitForStarted(5000))
            return std::nullopt;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished(2000);
            return std::nullopt;
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return std::nullopt;
        return p.readAllStandardOutput().toStdString();
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display_));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // A sanitizer build of tavrin: Qt's caches kept until exit are no leaks.
        if (!env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        return env;
    }

    // The id of a visible window whose name is exactly `title`, waiting up
    // to `timeout` for it.
    std::optional<std::string> waitForWindow(const std::string& title,
                                             std::chrono::milliseconds timeout) const
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        do {
            if (auto out = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--name"),
                                QStringLiteral("^%1$").arg(QString::fromStdString(title))})) {
                const std::string id = out->substr(0, out->find('\n'));
                if (!id.empty())
                    return id;
            }
            std::this_thread::sleep_for(200ms);
        } while (std::chrono::steady_clock::now() < until);
        return std::nullopt;
    }

    // Gives the window the keyboard focus and types the keys (xdotool names,
    // such as "alt+f").
    bool typeKeys(const std::string& window, const QStringList& keys) const
    {
        if (!run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                             QString::fromStdString(window)}))
            return false;
        for (const QString& key : keys) {
            if (!run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), key}))
                return false;
            std::this_thread::sleep_for(300ms);
        }
        return true;
    }

    bool screenshot(const fs::path& png) const
    {
        return run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                              QString::fromStdString(png.string())})
            .has_value();
    }

private:
    std::string display_;
    mutable QProcess server_;
};

// A fresh application folder holding the program and its libraries only; a
// test adds the catalogue and pictures it wants.
class AppFolder {
public:
    AppFolder()
    {
        for (const auto& entry : fs::directory_iterator(builtAppDir())) {
            const fs::path& p = entry.path();
            if (p.filename() == "tavrin" || p.extension() == ".so")
                fs::copy_file(p, dir_.path() / p.filename());
        }
    }
    const fs::path& path() const { return dir_.path(); }
    fs::path operator/(const std::string& name) const { return dir_.path() / name; }

    // Copies a file or folder of the built application folder into this one.
    void copyFromBuild(const std::string& name) const
    {
        fs::copy(builtAppDir() / name, dir_.path() / name, fs::copy_options::recursive);
    }

private:
    test::TempDir dir_;
};

// How the real tavrin is started.
struct StartOptions {
    // Folders put before the others on PATH.
    QStringList pathFirst;
    // Whether a start without emulators offers their set-up; when not,
    // "bbc.ini" notes that it was offered already.
    bool offerSetUp = false;
};

// The real tavrin started in `app` on `x`, from another current folder.
class Tavrin {
public:
    Tavrin(const Xvfb& x, const AppFolder& app, const StartOptions& options = {})
    {
        QProcessEnvironment env = x.environment();
        if (!options.pathFirst.isEmpty())
            env.insert(QStringLiteral("PATH"), options.pathFirst.join(QLatin1Char(':')) +
                                                   QLatin1Char(':') +
                                                   env.value(QStringLiteral("PATH")));
        if (!options.offerSetUp) {
            std::ifstream in(app / "bbc.ini", std::ios::binary);
            const std::string ini(std::istreambuf_iterator<char>(in), {});
            if (ini.find("[Set up emulators]") == std::string::npos)
                std::ofstream(app / "bbc.ini", std::ios::binary | std::ios::app)
                    << "\n[Set up emulators]\nOffered=1\n";
        }
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(QString::fromStdString(fs::temp_directory_path().string()));
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QString::fromStdString((app / "tavrin").string()), {});
        if (!process_.waitForStarted(5000))
            throw std::runtime_error("tavrin cannot be started");
    }
    ~Tavrin()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    Tavrin(const Tavrin&) = delete;
    Tavrin& operator=(const Tavrin&) = delete;

    // The exit code once the program has ended by itself; nullopt when it
    // is still running after `timeout` or crashed.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout)
    {
        if (!process_.waitForFinished(static_cast<int>(timeout.count())))
            return std::nullopt;
        if (process_.exitStatus() != QProcess::NormalExit)
            return std::nullopt;
        return process_.exitCode();
    }
    bool running() const { return process_.state() == QProcess::Running; }

private:
    QProcess process_;
};

} // namespace tavrin::e2e
