// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the command line prints, in Japanese or in English as the locale asks. The run's own
// lines are the log's and stay Japanese either way.
namespace cli {

struct Texts {
    // The help: the description under the usage line, then the options and their values.
    QString description;
    QString runAll;
    QString settings;
    QString settingsValue;
    QString quiet;
    QString help;
    QString version;
    // Qt's own words in the help's headings: "Usage: %1", "[options]", "Options:".
    QString usage;
    QString options;
    QString optionsHeading;

    // Messages on standard error; %1 is the path, option or reason.
    QString unknownOption;
    QString badArguments;
    QString locked;
    QString settingsMissing;
    QString settingsUnreadable;
    QString logUnreadable;
    QString dataFolder;
    QString logWriteFailed;
    QString marksWriteFailed;
    QString interrupted;
    // %1 entries not stored of %2 with an address; each then as "  name  address".
    QString notStored;
    // The window started where there is no display.
    QString noDisplay;

    // The progress line: counter ("12/99"), busy connections, elapsed time.
    QString progress;
};

inline const Texts Japanese = {
    .description = QStringLiteral(
        "Web ページの一覧を取得し、ページごとに最新版と、\n"
        "置き換えた版の日付別コピーを保存します。\n"
        "オプションなしで起動するとウィンドウを開きます。\n"
        "\n"
        "--run-all の終了ステータス:\n"
        "  0  アドレスのある項目をすべて保存した\n"
        "  1  保存できなかった項目がある（失敗、タイムオーバー、中断）\n"
        "  2  開始できなかった（設定ファイル、データの保存場所、別の実行中のダウンロード）"),
    // Qt wraps by characters, and these are twice as wide: lines are broken by hand.
    .runAll = QStringLiteral("ウィンドウを開かずに一覧全体を一度ダウンロードして\n"
                             "終了します（「全てダウンロード」と同じ処理）。"),
    .settings = QStringLiteral("~/.local/share/vekanto/vek.ini の代わりに <file>\n"
                               "から一覧と設定を読み込みます（XDG_DATA_HOME が\n"
                               "あれば $XDG_DATA_HOME/vekanto/vek.ini の代わり）。"),
    .settingsValue = QStringLiteral("file"),
    .quiet = QStringLiteral("--run-all で、保存できなかった項目だけを表示します。"),
    .help = QStringLiteral("このヘルプを表示して終了します。"),
    .version = QStringLiteral("バージョンを表示して終了します。"),
    .usage = QStringLiteral("使い方: %1"),
    .options = QStringLiteral("[オプション]"),
    .optionsHeading = QStringLiteral("オプション:"),
    .unknownOption = QStringLiteral("不明なオプションです: %1\n使い方は vekanto --help で表示できます。"),
    .badArguments = QStringLiteral("コマンドラインが正しくありません: %1\n使い方は vekanto --help で表示できます。"),
    .locked = QStringLiteral("別のダウンロードが実行中のため、開始できません（%1）。"),
    .settingsMissing = QStringLiteral("設定ファイルがありません: %1"),
    .settingsUnreadable = QStringLiteral("設定ファイルを読み込めませんでした: %1"),
    .logUnreadable = QStringLiteral("ログファイルを読み込めませんでした: %1"),
    .dataFolder = QStringLiteral("データの保存場所に書き込めません: %1"),
    .logWriteFailed = QStringLiteral("ログファイルを書き込めませんでした: %1"),
    .marksWriteFailed = QStringLiteral("更新された項目の印を書き込めませんでした: %1"),
    .interrupted = QStringLiteral("%1 を受けたため、ダウンロードを中止しました。"),
    .notStored = QStringLiteral("保存できなかった項目: %1 件（アドレスのある %2 件中）"),
    .noDisplay = QStringLiteral("ウィンドウを開くにはディスプレイが必要です（DISPLAY も WAYLAND_DISPLAY もありません）。"
                                "ディスプレイなしでダウンロードするには vekanto --run-all を使ってください。"),
    .progress = QStringLiteral("%1 件目  接続 %2/10  経過 %3"),
};

inline const Texts English = {
    .description = QStringLiteral(
        "Fetches a list of web pages and keeps each page's latest copy, with dated copies\n"
        "of the pages it replaces. Without options it opens the window.\n"
        "\n"
        "Exit status of --run-all:\n"
        "  0  every entry with an address was stored\n"
        "  1  some entries were not stored (failed, timed out, interrupted)\n"
        "  2  the run could not start (settings file, data folder, another run under way)"),
    .runAll = QStringLiteral("Fetch the whole list once without a window, as the window's download-all button does, and exit."),
    .settings = QStringLiteral("Read the list and options from <file> instead of\n"
                               "~/.local/share/vekanto/vek.ini, or\n"
                               "$XDG_DATA_HOME/vekanto/vek.ini when XDG_DATA_HOME is set."),
    .settingsValue = QStringLiteral("file"),
    .quiet = QStringLiteral("With --run-all: print only the entries that were not stored."),
    .help = QStringLiteral("Show this help and exit."),
    .version = QStringLiteral("Show the version and exit."),
    .usage = QStringLiteral("Usage: %1"),
    .options = QStringLiteral("[options]"),
    .optionsHeading = QStringLiteral("Options:"),
    .unknownOption = QStringLiteral("Unknown option: %1\nSee vekanto --help."),
    .badArguments = QStringLiteral("Bad command line: %1\nSee vekanto --help."),
    .locked = QStringLiteral("Another download is under way (%1); not started."),
    .settingsMissing = QStringLiteral("No settings file: %1"),
    .settingsUnreadable = QStringLiteral("Cannot read the settings file: %1"),
    .logUnreadable = QStringLiteral("Cannot read the log file: %1"),
    .dataFolder = QStringLiteral("Cannot write to the data folder: %1"),
    .logWriteFailed = QStringLiteral("Cannot write the log file: %1"),
    .marksWriteFailed = QStringLiteral("Cannot write the marks of changed entries: %1"),
    .interrupted = QStringLiteral("Stopped on %1."),
    .notStored = QStringLiteral("Not stored: %1 of %2 entries with an address"),
    .noDisplay = QStringLiteral("The window needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                                "vekanto --run-all downloads the list without one."),
    .progress = QStringLiteral("%1 entries  %2/10 connections  %3 elapsed"),
};

} // namespace cli
