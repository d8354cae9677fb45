<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>pictavo</name>
    <message>
        <source>バージョン情報</source>
        <translation>Version information</translation>
    </message>
    <message>
        <source>プログラムを終了します。</source>
        <translation>The program will end.</translation>
    </message>
    <message>
        <source>現在のディスプレイの解像度で
ﾋﾞｯﾄﾏｯﾌﾟが作成されます</source>
        <translation>A bitmap will be made at the display&apos;s current resolution.</translation>
    </message>
    <message>
        <source>同じファイル名が存在します。
上書き保存しますか？</source>
        <translation>A file of the same name exists.
Save over it?</translation>
    </message>
    <message>
        <source>ファイルの保存</source>
        <translation>Save file</translation>
    </message>
    <message>
        <source>ファイルは保存されました</source>
        <translation>The file was saved.</translation>
    </message>
    <message>
        <source>ファイルを保存できませんでした。</source>
        <translation>The file could not be saved.</translation>
    </message>
    <message>
        <source>このｲﾒｰｼﾞを削除しますか？</source>
        <translation>Delete this picture?</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ削除</source>
        <translation>Delete file</translation>
    </message>
    <message>
        <source>このファイルは既に存在しません</source>
        <translation>This file no longer exists.</translation>
    </message>
    <message>
        <source>このイメージは削除されました</source>
        <translation>This picture was deleted.</translation>
    </message>
    <message>
        <source>はコピーされました</source>
        <extracomment>Follows the copied file&apos;s path with nothing between them.</extracomment>
        <translation> was copied.</translation>
    </message>
    <message>
        <source>クリップボードのイメージを正常にロードできませんでした</source>
        <translation>The picture on the clipboard could not be loaded.</translation>
    </message>
    <message>
        <source>Paste from clipboard</source>
        <translation>Paste from clipboard</translation>
    </message>
    <message>
        <source>Copy to clipboard</source>
        <translation>Copy to clipboard</translation>
    </message>
    <message>
        <source>change to bitmap</source>
        <translation>change to bitmap</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Set wall paper</source>
        <translation>Set wall paper</translation>
    </message>
    <message>
        <source>Delete wall paper</source>
        <translation>Delete wall paper</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Speed(1-3sec)</source>
        <translation>Speed(1-3sec)</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>About %1</translation>
    </message>
    <message>
        <source>Emblem</source>
        <translation>Emblem</translation>
    </message>
    <message>
        <source>Position and slide show</source>
        <translation>Position and slide show</translation>
    </message>
    <message>
        <source>Picture commands</source>
        <translation>Picture commands</translation>
    </message>
    <message>
        <source>Wall paper</source>
        <translation>Wall paper</translation>
    </message>
    <message>
        <source>Spare group</source>
        <translation>Spare group</translation>
    </message>
    <message>
        <source>Position/count</source>
        <translation>Position/count</translation>
    </message>
    <message>
        <source>Pan across</source>
        <translation>Pan across</translation>
    </message>
    <message>
        <source>Pan up and down</source>
        <translation>Pan up and down</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source>Drives</source>
        <translation>Drives</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Folders</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>File size</source>
        <translation>File size</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Bitmapの保存</source>
        <translation>Save bitmap</translation>
    </message>
    <message>
        <source>ファイルを正常にロードできませんでした</source>
        <translation>The file could not be loaded.</translation>
    </message>
    <message>
        <source>壁紙の設定に失敗しました。</source>
        <translation>Setting the wall paper failed.</translation>
    </message>
</context>
</TS>
