// Compiled with code page 932 as the execution character set (see dovra_cp932_sources): every literal below
// is stored as the code page 932 bytes the user sees. Include nothing here but the declarations.
#include "engine/texts.h"

namespace dovra::text {

const char kCannotOpenFile[] = "ファイルを開けませんでした。";
const char kFileSizeZero[] = "ファイルサイズが0です。";
const char kFileTooLarge[] = "ファイルサイズが大きすぎます。";
const char kAllocationFailed[] = "メモリ確保に失敗しました。";
const char kReadFailed[] = "ファイルの読み込みに失敗しました。";
const char kOldBinaryLoadFailed[] = "旧バイナリファイルの読み込みに失敗しました";
const char kNewBinaryLoadFailed[] = "新バイナリファイルの読み込みに失敗しました";

const char kFieldOutsideRecord[] = "%sの[%s]は構造体の範囲外アドレスです";
const char kNameListOpenFailed[] = "IDNファイルを開けませんでした。";
const char kParseFailed[] = "%sの解析に失敗しました";
// A directory entry whose name has no code page 932 form cannot be named to the engine; the name is shown
// with "?" for each character that code page 932 lacks.
const char kUnrepresentableEntry[] = "%sの「%s」はファイル名をShift_JISで表せないため読み込みません。";

const char kRewriteAddressLine[] = "　ADDR:{:08X} -> {:08X}";
const char kRewriteSizeLine[] = "　size:{:d} -> {:d}";
const char kAddressBeyondFile[] = "　エラー: アドレスがファイルサイズを超えます。";
const char kAddressBeyondFileCrLf[] = "　エラー: アドレスがファイルサイズを超えます。\r\n";
const char kDataMatch[] = "　新旧データ一致 ";
const char kDataDiffersQuestion[] = "{}のデータに{:d}/{:d} Byteの違いがあります。上書きしますか？";
const char kNewDefinitionMissing[] = "　更新後の{}.iniが存在しません。";
const char kRegionSizeDiffersQuestion[] = "{}の領域サイズが違いますが上書きしますか？";
const char kFieldLine4[] = "　[{:08X}]:{}の{}を書き換え {:08X} -> {:08X}";
const char kFieldLine2[] = "　[{:08X}]:{}の{}を書き換え {:04X} -> {:04X}";
const char kFieldLine1[] = "　[{:08X}]:{}の{}を書き換え {:02X} -> {:02X}";
const char kOutputWritten[] = "新バイナリファイルを{}に出力しました";
const char kOutputFailed[] = "新バイナリファイルの出力に失敗しました: {}";

const char kBinaryNotLoaded[] = "　バイナリファイルが読み込まれていません";
const char kCreateQuestion[] =
    "無改造の旧バイナリファイル, 新バイナリファイル, 旧Dovra定義ファイルを使って新Dovra定義ファイルを作成します";
const char kFolderCreated[] = "{}フォルダを作成";
const char kFolderCreateFailed[] = "{}フォルダを作成できませんでした";
const char kOutputFolderIsOldFolder[] = "{}フォルダは旧フォルダと同じ場所を指すため使えません";
const char kNameListHeading[] = "--- idnファイルの複製 ---";
const char kDefinitionHeading[] = "--- iniファイル作成開始 ---";
const char kCopySucceeded[] = "コピー成功: %s";
const char kCopyFailed[] = "コピー失敗: %s";
const char kCreateAddressLine[] = "　ADDR: {:08X}";
const char kCreateSizeLine[] = "　Size: {:d}";
const char kNotFound[] = "　一致するデータが見つかりませんでした。";
const char kZeroSizeTable[] = "　テーブルサイズが0のため検索できません。";
const char kDataFound[] = "　{:08X}にデータ発見。";
const char kSameAddress[] = "　同アドレスのため更新不要。ファイルをコピーします。";
const char kCopiedFrom[] = "　{}をコピー";
const char kWrittenTo[] = "　{}に出力";
const char kTableCopyFailed[] = "　{}のコピーに失敗しました";
const char kShiftingAddresses[] = "　アドレスを{:d}ずつ書き換え";
const char kSourceOpenFailed[] = "　{}を開けませんでした";
const char kDestinationCreateFailed[] = "　{}を作成できませんでした";
const char kAddressConversionFailed[] = "　{}の{}行目のアドレス「{}」を変換できませんでした";
const char kDestinationWriteFailed[] = "　{}の書き込みに失敗しました";
const char kFinished[] = "完了しました";

// Three-way rewrite with the unmodified old binary.
const char kBaseBinaryLoadFailed[] = "無改造の旧バイナリファイルの読み込みに失敗しました";
const char kBaseMissesTable[] = "{}のデータ（{:08X}から{:d} Byte）が無改造の旧バイナリファイルに収まりません。"
                                "無改造の旧バイナリファイルとして正しいファイルを選んでいるか確かめてください。";
const char kBaseUnlikeOldBinary[] = "無改造の旧バイナリファイルが旧バイナリファイルと大きく違います"
                                    "（{:d}個のテーブルのうち{:d}個でデータの半分を超える部分が違います）。"
                                    "無改造の旧バイナリファイルとして正しいファイルを選んでいるか確かめてください。";
const char kUnchangedByUser[] = "　変更なし";
const char kOwnChangesQuestion[] = "{}のデータに、自分で変更した部分が{:d}/{:d} Byteあります。書き写しますか？";
const char kConflictLine4[] = "　[{:08X}]:{}の{}は更新でも変わっています {:08X} -> {:08X}（元 {:08X}）";
const char kConflictLine2[] = "　[{:08X}]:{}の{}は更新でも変わっています {:04X} -> {:04X}（元 {:04X}）";
const char kConflictLine1[] = "　[{:08X}]:{}の{}は更新でも変わっています {:02X} -> {:02X}（元 {:02X}）";
const char kRecordSizeDiffers[] = "　レコードサイズが違うため、項目ごとに自分の変更を選び出せません";
const char kEditsBeyondNewTable[] = "　新しいテーブルにないレコードでの変更{:d} Byteは書き写しません";
const char kThreeWaySummary[] = "自分の変更を書き写したテーブル: {:d}、書き換えた項目: {:d}、競合: {:d}、"
                                "スキップしたテーブル: {:d}（うちエラー: {:d}）";

// Hostile and careless inputs.
const char kFolderNotFound[] = "{}フォルダが見つかりません";
const char kDefinitionIsUtf16[] = "{}はUTF-16で保存されています。Shift_JISで保存し直してください";
const char kDefinitionHasUtf8Bom[] = "{}はUTF-8のBOM付きで保存されています。Shift_JISで保存し直してください";
const char kRecordSizeChanged[] = "　レコードサイズが{:d}から{:d}に変わったため、更新後の定義で項目を数えます";
const char kDefinitionChangedSinceLoad[] =
    "　{}は読み込んだ後に変更されたため、コピーしません。もう一度実行してください";
const char kDefinitionWrittenAsLoaded[] = "　{}は読み込んだ後に変更されています。読み込んだときの内容で書き出します";
const char kReasonOpen[] = "（";
const char kReasonClose[] = "）";
const char kReasonPermissionDenied[] = "アクセスが拒否されました";
const char kReasonNoSpace[] = "ディスクの空き容量が足りません";
const char kReasonNameTooLong[] = "名前が長すぎます";
const char kReasonIsAFolder[] = "フォルダです";
const char kReasonNotFound[] = "見つかりません";
const char kReasonReadOnly[] = "読み取り専用です";
const char kReasonFileInTheWay[] = "同じ名前のファイルがあります";

// Create command: several matches, unexpected places, changed tables, the questions and the summary.
const char kSameDataCount[] = "　※同じデータが{:d}か所にあります。";
// Matches are counted up to a cap; at the cap the count means "this many or more".
const char kSameDataCountAtCap[] = "　※同じデータが{:d}か所以上にあります。";
const char kPlaceUndecided[] = "　※前後のデータから位置を判断できないため、最初の位置を使いました。確認してください。";
const char kUnexpectedPlace[] = "　※前後のデータから予想される位置（{:08X}）と違います。確認してください。";
const char kSimilarData[] = "　{:08X}に似たデータがあります（一致率{:d}%）。";
const char kAlignedMatchQuestion[] =
    "{:d}個のテーブルは同じデータが複数の場所にあり、最初の位置は前後のデータの移動と合いません。"
    "前後のデータに合う位置を使いますか？";
const char kSimilarDataQuestion[] = "{:d}個のテーブルは完全に一致するデータがありませんが、似たデータが見つかりました。"
                                    "その位置に合わせて定義ファイルを作成しますか？";
const char kSummaryHeading[] = "--- 結果 ---";
const char kSummaryCounts[] = "移動 {:d}　同アドレス {:d}　似たデータ {:d}　見つからず {:d}　エラー {:d}";
const char kSummaryNeedsCheck[] = "要確認 {:d}";

// Create command: an output folder that holds exactly one run.
const char kFolderMovedAside[] = "既存の{}フォルダを{}に退避";
const char kFolderReplaced[] = "{}フォルダを今回の内容で作成";
const char kFolderFlushFailed[] = "{}フォルダの内容をディスクに書き込めませんでした。既存のフォルダはそのままです";
const char kFolderMoveAsideFailed[] =
    "既存の{}フォルダを退避できませんでした。既存のフォルダはそのままで、今回の内容は{}にあります";
const char kFolderPlaceFailed[] = "{}フォルダを置けませんでした。今回の内容は{}にあります";
const char kWriteFailureCount[] = "{:d}個のファイルを書き込めませんでした";

// Binary files held mapped: one that another program changed meanwhile is never written from.
const char kBinaryChangedMeanwhile[] =
    "バイナリファイルが処理中に他のプログラムによって変更されたため、結果を書き込みません";

// Outcome words of a table, shared by the results table and the summary's counts.
const char kOutcomeMoved[] = "移動";
const char kOutcomeSameAddress[] = "同アドレス";
const char kOutcomeSimilar[] = "似たデータ";
const char kOutcomeNotFound[] = "見つからず";
const char kOutcomeError[] = "エラー";
const char kOutcomeMatch[] = "一致";
const char kOutcomeRewritten[] = "書き換え";
const char kOutcomeUnchanged[] = "変更なし";
const char kOutcomeSkipped[] = "スキップ";

} // namespace dovra::text
