#pragma once

// Every text the engine shows, logs or asks, as code page 932 bytes (see texts.cpp). Format strings use
// fmt's replacement fields and go through fmt::runtime, since they are not UTF-8 literals.
namespace dovra::text {

// Binary file loads.
extern const char kCannotOpenFile[];
extern const char kFileSizeZero[];
extern const char kFileTooLarge[];
extern const char kAllocationFailed[];
extern const char kReadFailed[];
extern const char kOldBinaryLoadFailed[];
extern const char kNewBinaryLoadFailed[];

// Settings folder loads (printf-style "%s" templates).
extern const char kFieldOutsideRecord[];
extern const char kNameListOpenFailed[];
extern const char kParseFailed[];
extern const char kUnrepresentableEntry[];

// Rewrite command.
extern const char kRewriteAddressLine[];
extern const char kRewriteSizeLine[];
extern const char kAddressBeyondFile[];
extern const char kAddressBeyondFileCrLf[];
extern const char kDataMatch[];
extern const char kDataDiffersQuestion[];
extern const char kNewDefinitionMissing[];
extern const char kRegionSizeDiffersQuestion[];
extern const char kFieldLine4[];
extern const char kFieldLine2[];
extern const char kFieldLine1[];
extern const char kOutputWritten[];
extern const char kOutputFailed[];

// Create command.
extern const char kBinaryNotLoaded[];
extern const char kCreateQuestion[];
extern const char kFolderCreated[];
extern const char kFolderCreateFailed[];
extern const char kOutputFolderIsOldFolder[];
extern const char kNameListHeading[];
extern const char kDefinitionHeading[];
extern const char kCopySucceeded[];
extern const char kCopyFailed[];
extern const char kCreateAddressLine[];
extern const char kCreateSizeLine[];
extern const char kNotFound[];
extern const char kZeroSizeTable[];
extern const char kDataFound[];
extern const char kSameAddress[];
extern const char kCopiedFrom[];
extern const char kWrittenTo[];
extern const char kTableCopyFailed[];
extern const char kShiftingAddresses[];
extern const char kSourceOpenFailed[];
extern const char kDestinationCreateFailed[];
extern const char kAddressConversionFailed[];
extern const char kDestinationWriteFailed[];
extern const char kFinished[];

// Three-way rewrite with the unmodified old binary.
extern const char kBaseBinaryLoadFailed[];
extern const char kBaseMissesTable[];
extern const char kBaseUnlikeOldBinary[];
extern const char kUnchangedByUser[];
extern const char kOwnChangesQuestion[];
extern const char kConflictLine4[];
extern const char kConflictLine2[];
extern const char kConflictLine1[];
extern const char kRecordSizeDiffers[];
extern const char kEditsBeyondNewTable[];
extern const char kThreeWaySummary[];

// Hostile and careless inputs.
extern const char kFolderNotFound[];
extern const char kDefinitionIsUtf16[];
extern const char kDefinitionHasUtf8Bom[];
extern const char kRecordSizeChanged[];
extern const char kDefinitionChangedSinceLoad[];
extern const char kDefinitionWrittenAsLoaded[];
extern const char kReasonOpen[];
extern const char kReasonClose[];
extern const char kReasonPermissionDenied[];
extern const char kReasonNoSpace[];
extern const char kReasonNameTooLong[];
extern const char kReasonIsAFolder[];
extern const char kReasonNotFound[];
extern const char kReasonReadOnly[];
extern const char kReasonFileInTheWay[];

// Create command: several matches, unexpected places, changed tables, the questions and the summary.
extern const char kSameDataCount[];
extern const char kSameDataCountAtCap[];
extern const char kPlaceUndecided[];
extern const char kUnexpectedPlace[];
extern const char kSimilarData[];
extern const char kAlignedMatchQuestion[];
extern const char kSimilarDataQuestion[];
extern const char kSummaryHeading[];
extern const char kSummaryCounts[];
extern const char kSummaryNeedsCheck[];

// Create command: an output folder that holds exactly one run.
extern const char kFolderMovedAside[];
extern const char kFolderReplaced[];
extern const char kFolderFlushFailed[];
extern const char kFolderMoveAsideFailed[];
extern const char kFolderPlaceFailed[];
extern const char kWriteFailureCount[];

// Binary files held mapped: one that another program changed meanwhile is never written from.
extern const char kBinaryChangedMeanwhile[];

// Outcome words of a table, shared by the results table and the summary's counts.
extern const char kOutcomeMoved[];
extern const char kOutcomeSameAddress[];
extern const char kOutcomeSimilar[];
extern const char kOutcomeNotFound[];
extern const char kOutcomeError[];
extern const char kOutcomeMatch[];
extern const char kOutcomeRewritten[];
extern const char kOutcomeUnchanged[];
extern const char kOutcomeSkipped[];

} // namespace dovra::text
