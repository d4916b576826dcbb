#pragma once
// Runs the companion program tavrin-disk as the child process it is.

#include "FailingFiles.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

namespace tavrin::test
{

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

enum class As { Me, FullDisk };

// Runs tavrin-disk. FullDisk runs it under a file size limit of 0 bytes, so
// that every write it makes fails as on a full disk.
inline ToolRun runTool(const QStringList& args, As as = As::Me, const QString& stdoutFile = {})
{
    QProcess process;
    process.setProgram(QStringLiteral(TAVRIN_DISK_TOOL));
    process.setArguments(args);
    if (!stdoutFile.isEmpty())
        process.setStandardOutputFile(stdoutFile);
    if (as == As::FullDisk)
        process.setChildProcessModifier([] { FileSizeLimit::applyInChild(); });
    process.start();
    ToolRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

} // namespace tavrin::test
