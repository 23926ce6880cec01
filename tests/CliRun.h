#pragma once
// Running multimeter-cli from a test, and the small file helpers its checks use.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>

namespace testcli {

struct Run {
    int status = -1; // the exit status; -1 when the tool crashed or did not finish in time
    QByteArray out;
    QByteArray err;
};

// Runs `program` with `args`, `input` on its standard input.
inline Run Cli(const QString& program, const QStringList& args, const QByteArray& input = QByteArray())
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        p.kill();
    p.waitForFinished();
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
        p.readAllStandardError() };
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace testcli
