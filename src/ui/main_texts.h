// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The main window's own texts, exactly as the program shows them.
namespace MainText {
inline const QString AppName = QStringLiteral("Vekanto");
inline const QString Add = QStringLiteral("追加");
inline const QString Change = QStringLiteral("変更");
inline const QString Delete = QStringLiteral("削除");
inline const QString DownloadOne = QStringLiteral("ダウンロード");
inline const QString DownloadAll = QStringLiteral("全てダウンロード");
inline const QString OpenFolder = QStringLiteral("フォルダ");
inline const QString OpenPage = QStringLiteral("開く");
inline const QString Load = QStringLiteral("LOAD");
inline const QString Save = QStringLiteral("SAVE");
inline const QString DataFolder = QStringLiteral("データの保存場所");
inline const QString Browse = QStringLiteral("参照");
inline const QString KeepLog = QStringLiteral("ログを残す");
inline const QString TimeoutHint =
    QStringLiteral("秒以内にダウンロードが終了しない場合、そこのダウンロードを中止する");
inline const QString HostPace = QStringLiteral("サーバーごとに間隔を空ける");
inline const QString HostPaceTip = QStringLiteral(
    "同じサーバーのページは 0.5 秒以上の間隔を空け、同時に 2 つまで取得します。\n"
    "ほかのサーバーのページは、接続が空きしだい待たずに始めます。");
inline const QString Saved = QStringLiteral("保存しました");
inline const QString SavedAsUtf8 = QStringLiteral(
    "\r\n（CP932 で表せない文字があるため、設定ファイルを UTF-8 で保存しました）");
inline const QString PickFolder = QStringLiteral("フォルダを指定して下さい。");
inline const QString LogFilter =
    QStringLiteral("すべてのファイル (*.*)|*.*|テキスト ファイル (*.txt *.doc *.log)|*.txt|*.doc|*.log|");

// The limits on dated copies, both off by default.
inline const QString KeepCopies = QStringLiteral("日付別のコピーを残す:");
// Shown at 0, when the box sets no limit.
inline const QString KeepDaysAll = QStringLiteral("無期限");
inline const QString KeepVersionsAll = QStringLiteral("全件");
inline const QString KeepDaysSuffix = QStringLiteral(" 日間");
inline const QString KeepVersionsSuffix = QStringLiteral(" 件まで");
inline const QString KeepDaysName = QStringLiteral("コピーを残す日数");
inline const QString KeepVersionsName = QStringLiteral("項目ごとに残すコピーの数");
inline const QString KeepCopiesHint = QStringLiteral(
    "ダウンロードの終わりに、期間または件数を超えた古いコピーを削除します。"
    "vek.htm と最新のコピーは削除しません。");

// The history of the selected entry: a button and the tree's context menu.
inline const QString History = QStringLiteral("履歴");

// Names of our own for what has no caption on the window.
inline const QString LogFileName = QStringLiteral("ログファイル");

// Said by a second start over the same settings file.
inline const QString AlreadyRunning =
    QStringLiteral("Vekanto は既に起動しています。開いているウィンドウを前面に表示します。");

// Messages of our own for failures the program reports.
inline const QString SaveFailed = QStringLiteral("設定ファイルを保存できませんでした。\r\n%1");
inline const QString LoadFailed = QStringLiteral("設定ファイルを読み込めませんでした。\r\n%1");
inline const QString PlacedAtTop = QStringLiteral(
    "親の見つからない項目をルートに置きました:\r\n%1");
inline const QString SharedFolders = QStringLiteral(
    "次の項目は同じフォルダを使うため、ページを上書きし合います。\r\n"
    "どちらかの名前を「変更」で変えてください:\r\n%1");
inline const QString UnsavedQuestion = QStringLiteral("変更を保存しますか？");
inline const QString BadDataFolder = QStringLiteral(
    "データの保存場所が空か、「/」で始まらない相対パスです。\r\n"
    "「/」で始まるフォルダを指定してください。\r\n%1");

// Opening a page, a folder or a stored version.
// The desktop has no program for it.
inline const QString NoOpener = QStringLiteral("開くプログラムが見つかりませんでした。\r\n%1");
inline const QString NoVersions = QStringLiteral("「%1」のページはまだ保存されていません。");
inline const QString NoFolder = QStringLiteral(
    "「%1」のフォルダはまだありません。\r\n最初にダウンロードしたときに作られます。");
inline const QString MarksWriteFailed = QStringLiteral(
    "更新された項目の印を書き込めませんでした。\r\n%1");
// The tool tip of an entry whose last fetch failed, with the reason the log gave.
inline const QString LastFetchFailed = QStringLiteral("前回のダウンロードに失敗しました: %1");
inline const QString FailuresWriteFailed = QStringLiteral(
    "ダウンロードに失敗した項目の印を書き込めませんでした。\r\n%1");
// The option of a desktop notification after a run.
inline const QString Notify = QStringLiteral("変化と失敗を通知する");

// List operations.
inline const QString DeleteQuestion = QStringLiteral("削除します。よろしいですか？");
// Deleting an entry with entries under it deletes them too: its name, and how many.
inline const QString DeleteWithBelow = QStringLiteral("「%1」と、その下の %2 件を削除します。よろしいですか？");
// Messages of our own: an add or change that cannot be carried out is refused before anything
// is stored, and the editor stays open with what the user typed.
inline const QString ListFull = QStringLiteral(
    "これ以上項目を追加できません（最大99項目）。\r\n"
    "削除した項目があるときは、「SAVE」で保存すると空きができます。");
inline const QString SlotInUse = QStringLiteral("項目を追加できません（項目 %1 が使用中です）。");
inline const QString NoParent = QStringLiteral("親にする項目は削除されています。");
inline const QString EntryGone = QStringLiteral(
    "変更しようとした項目は削除されています。\r\n変更は保存されません。");
// A new name takes the entry's folder along; when it cannot, the name stays as it was.
inline const QString FolderTaken = QStringLiteral(
    "新しい名前のフォルダが既にあるため、名前を変更できません。\r\n"
    "別の名前を入力してください。\r\n%1");
inline const QString RenameWhileRunning = QStringLiteral(
    "ダウンロードの実行中は名前を変更できません。\r\n終わってからもう一度お試しください。\r\n%1");
inline const QString FolderNotRenamed = QStringLiteral(
    "フォルダの名前を変更できなかったため、名前は変更されていません。\r\n%1");
} // namespace MainText
