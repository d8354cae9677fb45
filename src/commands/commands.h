#pragma once
// The picture file commands: save as bitmap, rename by saving, delete, copy and paste.

#include "form/form_controls.h"

namespace pictavo {

inline constexpr const char* kBitmapNotice = "現在のディスプレイの解像度で\nﾋﾞｯﾄﾏｯﾌﾟが作成されます";
inline constexpr const char* kOverwriteQuestion = "同じファイル名が存在します。\n上書き保存しますか？";
inline constexpr const char* kOverwriteTitle = "ファイルの保存";
inline constexpr const char* kSavedMessage = "ファイルは保存されました";
inline constexpr const char* kSaveFailedMessage = "ファイルを保存できませんでした。";
inline constexpr const char* kDeleteQuestion = "このｲﾒｰｼﾞを削除しますか？";
inline constexpr const char* kDeleteTitle = "ﾌｧｲﾙ削除";
inline constexpr const char* kAlreadyGoneMessage = "このファイルは既に存在しません";
inline constexpr const char* kDeletedText = "このイメージは削除されました";
inline constexpr const char* kCopiedSuffix = "はコピーされました";
inline constexpr const char* kPasteFailedMessage = "クリップボードのイメージを正常にロードできませんでした";

void bmp_Click(FormControls& f);
void svcomBtn_Click(FormControls& f);
void renm_Click(FormControls& f);
void Del_Click(FormControls& f);
void delBtn_Click(FormControls& f);
void Cpy_Click(FormControls& f);
void cpyBtn_Click(FormControls& f);
void pstBtn_Click(FormControls& f);

}  // namespace pictavo
