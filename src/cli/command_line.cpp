// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_line.h"

#include "cli/cli_texts.h"
#include "cli/exit_status.h"
#include "cli/output.h"
#include "cli/unattended_run.h"
#include "core/app_title.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTranslator>

namespace cli {
namespace {

struct Parser {
    explicit Parser(const Texts &texts)
        : runAll(QStringLiteral("run-all"), texts.runAll)
        , settings(QStringLiteral("settings"), texts.settings, texts.settingsValue)
        , quiet(QStringLiteral("quiet"), texts.quiet)
        , help(QStringList{QStringLiteral("h"), QStringLiteral("help")}, texts.help)
        , version(QStringList{QStringLiteral("v"), QStringLiteral("version")}, texts.version)
    {
        parser.setApplicationDescription(texts.description);
        parser.addOptions({runAll, settings, quiet, help, version});
    }

    QCommandLineParser parser;
    QCommandLineOption runAll;
    QCommandLineOption settings;
    QCommandLineOption quiet;
    QCommandLineOption help;
    QCommandLineOption version;
};

// The help's headings are Qt's; this gives them in the help's language.
class HeadingTranslator : public QTranslator
{
public:
    explicit HeadingTranslator(const Texts &texts)
        : m_texts(texts)
    {
    }

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QCommandLineParser") != 0)
            return {};
        if (qstrcmp(sourceText, "Usage: %1") == 0)
            return m_texts.usage;
        if (qstrcmp(sourceText, "[options]") == 0)
            return m_texts.options;
        if (qstrcmp(sourceText, "Options:") == 0)
            return m_texts.optionsHeading;
        return {};
    }

private:
    const Texts &m_texts;
};

bool isJapanese(const char *variable)
{
    return qEnvironmentVariable(variable).startsWith(QLatin1String("ja"));
}

} // namespace

QStringList arguments(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

Invocation parse(const QStringList &arguments)
{
    Parser p(English);
    Invocation invocation;
    using Action = Invocation::Action;
    if (!p.parser.parse(arguments)) {
        invocation.action = Action::Error;
        const QStringList unknown = p.parser.unknownOptionNames();
        invocation.error = unknown.isEmpty() ? Invocation::Error::BadArguments
                                             : Invocation::Error::UnknownOption;
        const QString name = unknown.isEmpty() ? QString() : unknown.constFirst();
        invocation.errorDetail = unknown.isEmpty() ? p.parser.errorText()
                                 : (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
        return invocation;
    }
    if (!p.parser.positionalArguments().isEmpty()) {
        invocation.action = Action::Error;
        invocation.error = Invocation::Error::BadArguments;
        invocation.errorDetail = p.parser.positionalArguments().join(QLatin1Char(' '));
        return invocation;
    }
    invocation.settingsPath = p.parser.value(p.settings);
    invocation.quiet = p.parser.isSet(p.quiet);
    if (p.parser.isSet(p.help))
        invocation.action = Action::Help;
    else if (p.parser.isSet(p.version))
        invocation.action = Action::Version;
    else if (p.parser.isSet(p.runAll))
        invocation.action = Action::RunAll;
    return invocation;
}

const Texts &textsForLocale()
{
    // The first of these that is set decides, as it does for every program's messages.
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return isJapanese(variable) ? Japanese : English;
    }
    return English;
}

int noDisplay()
{
    write(stderr, textsForLocale().noDisplay + QLatin1Char('\n'));
    return ExitStatus::NotStarted;
}

int exec(const Invocation &invocation)
{
    QCoreApplication::setApplicationName(QStringLiteral("vekanto"));
    const Texts &texts = textsForLocale();
    using Action = Invocation::Action;
    switch (invocation.action) {
    case Action::Help: {
        HeadingTranslator headings(texts);
        QCoreApplication::installTranslator(&headings);
        Parser p(texts);
        // The usage line names the program as it is called from a path, not the path.
        QString help = p.parser.helpText();
        const QString program = QCoreApplication::arguments().constFirst();
        const qsizetype at = help.indexOf(program);
        if (at >= 0 && at < help.indexOf(QLatin1Char('\n')))
            help.replace(at, program.size(), QFileInfo(program).fileName());
        write(stdout, help);
        QCoreApplication::removeTranslator(&headings);
        return ExitStatus::Stored;
    }
    case Action::Version:
        write(stdout, AppTitle() + QLatin1Char('\n'));
        return ExitStatus::Stored;
    case Action::Error:
        write(stderr, (invocation.error == Invocation::Error::UnknownOption ? texts.unknownOption
                                                                              : texts.badArguments)
                              .arg(invocation.errorDetail)
                          + QLatin1Char('\n'));
        return ExitStatus::NotStarted;
    case Action::RunAll: {
        UnattendedRun run(invocation.settingsPath, invocation.quiet, texts);
        return run.exec();
    }
    case Action::Window:
        break;
    }
    return ExitStatus::NotStarted;
}

} // namespace cli
