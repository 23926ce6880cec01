// multimeter-cli: headless access to the meter link, the decoders and the data-log files.
#include "cli/CliVerbs.h"
#include "platform/FileTarget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <vector>

namespace cli {

static std::vector<Verb>& registry()
{
    static std::vector<Verb> all;
    return all;
}

void registerVerb(const Verb& verb) { registry().push_back(verb); }
const std::vector<Verb>& verbs() { return registry(); }

int usageError(const QString& message)
{
    if (!message.isEmpty())
        std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(message));
    std::fprintf(stderr, "usage:\n");
    for (const Verb& v : registry())
        std::fprintf(stderr, "  multimeter-cli %s\n", v.usage);
    return ExitUsage;
}

int ioError(const QString& message)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(line));
    return ExitIo;
}

int ReadInputFile(const QString& path, QByteArray* bytes)
{
    const QString notFile = filetarget::WhyNotReadable(path);
    if (!notFile.isEmpty())
        return ioError(QStringLiteral("Cannot open \"%1\": %2.").arg(QDir::toNativeSeparators(path), notFile));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ioError(QStringLiteral("Cannot open \"%1\": %2.").arg(QDir::toNativeSeparators(path), file.errorString()));
    *bytes = file.readAll();
    return ExitOk;
}

Args::Args(const QStringList& args, const QStringList& valueOptions, const QStringList& flags)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (valueOptions.contains(a)) {
            if (i + 1 >= args.size()) {
                m_error = QStringLiteral("%1 needs a value").arg(a);
                return;
            }
            m_values.insert(a, args[++i]);
            m_lists[a] << args[i];
        } else if (flags.contains(a)) {
            m_flags << a;
        } else if (a.startsWith(QLatin1String("--"))) {
            m_error = QStringLiteral("unknown option %1").arg(a);
            return;
        } else {
            m_positionals << a;
        }
    }
}

} // namespace cli

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return cli::usageError();
    const QString verb = args.takeFirst();
    for (const cli::Verb& v : cli::verbs()) {
        if (verb == QLatin1String(v.name))
            return v.run(args);
    }
    return cli::usageError(QStringLiteral("unknown verb %1").arg(verb));
}
