// SPDX-License-Identifier: MIT
#pragma once
// The picture file commands: save as bitmap, rename by saving, delete, copy and paste.

#include "base/translation.h"
#include "form/form_controls.h"

namespace pictavo {

inline constexpr const char* kBitmapNotice =
    QT_TRANSLATE_NOOP("pictavo", "現在のディスプレイの解像度で\nﾋﾞｯﾄﾏｯﾌﾟが作成されます");
inline constexpr const char* kOverwriteQuestion =
    QT_TRANSLATE_NOOP("pictavo", "同じファイル名が存在します。\n上書き保存しますか？");
inline constexpr const char* kOverwriteTitle = QT_TRANSLATE_NOOP("pictavo", "ファイルの保存");
inline constexpr const char* kSavedMessage = QT_TRANSLATE_NOOP("pictavo", "ファイルは保存されました");
inline constexpr const char* kSaveFailedMessage = QT_TRANSLATE_NOOP("pictavo", "ファイルを保存できませんでした。");
inline constexpr const char* kDeleteQuestion = QT_TRANSLATE_NOOP("pictavo", "このｲﾒｰｼﾞを削除しますか？");
inline constexpr const char* kDeleteTitle = QT_TRANSLATE_NOOP("pictavo", "ﾌｧｲﾙ削除");
inline constexpr const char* kAlreadyGoneMessage = QT_TRANSLATE_NOOP("pictavo", "このファイルは既に存在しません");
inline constexpr const char* kDeletedText = QT_TRANSLATE_NOOP("pictavo", "このイメージは削除されました");
//: Follows the copied file's path with nothing between them.
inline constexpr const char* kCopiedSuffix = QT_TRANSLATE_NOOP("pictavo", "はコピーされました");
inline constexpr const char* kPasteFailedMessage =
    QT_TRANSLATE_NOOP("pictavo", "クリップボードのイメージを正常にロードできませんでした");

void bmp_Click(FormControls& f);
void svcomBtn_Click(FormControls& f);
void renm_Click(FormControls& f);
void Del_Click(FormControls& f);
void delBtn_Click(FormControls& f);
void Cpy_Click(FormControls& f);
void cpyBtn_Click(FormControls& f);
void pstBtn_Click(FormControls& f);
// A pasted picture found broken after its size was known.
void Paste_Broken(FormControls& f);

}  // namespace pictavo
