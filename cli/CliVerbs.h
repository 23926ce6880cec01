#pragma once
// Registry of the command-line verbs. Each Verb*.cpp registers one verb with a static
// CliVerbRegistration, so adding a verb touches no other file.
#include <QByteArray>
#include <QStringList>
#include <QMap>
#include <functional>
#include <vector>

namespace cli {

// Exit statuses shared by every verb.
enum ExitCode { ExitOk = 0, ExitUsage = 1, ExitIo = 2 };

struct Verb {
    const char* name;
    const char* usage; // one or more lines, without the program name
    std::function<int(const QStringList& args)> run; // args after the verb
};

void registerVerb(const Verb& verb);
const std::vector<Verb>& verbs();

// Prints the usage of every verb to stderr and returns ExitUsage.
int usageError(const QString& message = QString());
// Prints "multimeter-cli: MESSAGE" (its line breaks made spaces) to stderr and returns ExitIo.
int ioError(const QString& message);
// Reads the whole input file at `path`. A path that is no readable file (checked before
// opening: opening a FIFO would wait for a writer) or that does not open is said as
// "Cannot open "PATH": REASON." and gives ExitIo; ExitOk otherwise.
int ReadInputFile(const QString& path, QByteArray* bytes);

struct CliVerbRegistration {
    explicit CliVerbRegistration(const Verb& verb) { registerVerb(verb); }
};

// Small argument helper: "--name value" options, "--flag" switches and positionals.
class Args {
public:
    // valueOptions: options that take a value (e.g. "--port"); flags: bare switches.
    Args(const QStringList& args, const QStringList& valueOptions, const QStringList& flags);
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    bool has(const QString& option) const { return m_values.contains(option) || m_flags.contains(option); }
    QString value(const QString& option, const QString& fallback = QString()) const
    {
        return m_values.value(option, fallback);
    }
    // Every value of an option that may be given more than once, in order (value() is the last).
    QStringList values(const QString& option) const { return m_lists.value(option); }
    const QStringList& positionals() const { return m_positionals; }

private:
    QMap<QString, QString> m_values;
    QMap<QString, QStringList> m_lists;
    QStringList m_flags;
    QStringList m_positionals;
    QString m_error;
};

} // namespace cli
