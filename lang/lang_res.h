#pragma once
// The program-wide UI text table. Entries are numbered 1..106 and are empty until a language is
// selected; every dialog reads its texts from here each time it is shown.

#include <QString>

#include <string>

// Entry numbers, named after their English wording.
enum TLangIndex : int {
    ltAbout = 1,
    ltFirmwareVersion,
    ltNewConfig,
    ltNewConfigWarning,
    ltCreateSensor,
    ltChangeId,
    ltDeleteSensor,
    ltCopy,
    ltPaste,
    ltEditMode,
    ltEnableVideo, // 11
    ltRefreshPicture,
    ltSettingsMenu,
    ltHelp,
    ltAboutMenu,
    ltConnection,
    ltCleaning,
    ltConnect,
    ltDisconnect,
    ltOK,
    ltCancel, // 21
    ltReady,
    ltSettingsUnused,
    ltLoadConfig,
    ltUploadConfigQuestion,
    ltSendInProgress,
    ltConfigUploaded,
    ltCannotUploadConfig,
    ltInputId,
    ltSensor,
    ltSaveConfigToFile, // 31
    ltLoadConfigFromFile,
    ltSaveVideoFrame,
    ltLoadVideoFrame,
    ltAddDetector,
    ltDeleteDetector,
    ltDetectorLabel,
    ltHostAddress,
    ltTCPPort,
    ltLogin,
    ltPassword, // 41
    ltClose,
    ltLoadCurrentConfig,
    ltRightClickForMenu,
    ltNoConnection,
    ltConnectionInProgress,
    ltFps,
    ltSettings,
    ltSystem,
    ltNetwork,
    ltAsyncPort, // 51
    ltAdministration,
    ltRequestCurrentTime,
    ltSetTime,
    ltDataInterval,
    ltJpegQuality,
    ltJpegFrameRate,
    ltVideoPort,
    ltVideoResolution,
    ltBackupInterval,
    ltClassesByLength, // 61
    ltConvertMiles,
    ltViewConfigXML,
    ltRes320,
    ltRes352,
    ltRes640,
    ltRes720,
    ltRate6,
    ltRate12,
    ltRate25,
    ltPCTime, // 71
    ltIPAddress,
    ltNetMask,
    ltGateway,
    ltNetPort,
    ltChangeLogin,
    ltChangePassword,
    ltDNS,
    ltAuto,
    ltApply,
    ltNetworkWarning, // 81
    ltIncorrectNetwork,
    ltWaitOneMinute,
    ltAskCurrentSettings,
    ltSerialPort,
    ltAddress,
    ltBaudRate,
    ltProtocol,
    ltFirmwareUpdate,
    ltReceiveDataFile,
    ltFastReboot, // 91
    ltCompleteReboot,
    ltDeleteBufferedData,
    ltLogicTriggers,
    ltAboutTriggers,
    ltConfirmFastReboot,
    ltConfirmCompleteReboot,
    ltFileUploaded,
    ltFileDownloaded,
    ltFileUploadError,
    ltFileDownloadError, // 101
    ltConfirmClose,
    ltConfirmDeleteData,
    ltSelectAutoconnect,
    ltSelectNumberOfDays,
    ltAllDataAvailable, // 106
};

constexpr int LangEntryCount = 106;

// Texts of features beyond the design's table, numbered on from 107. Each feature keeps its own
// block here and in the table of lang_res.cpp, in the same order.
enum TLangExtraIndex : int {
    ltExtraBefore = LangEntryCount,
    // Settings dialog
    ltClockBehind,
    ltClockAhead,
    ltClockSame,
    ltSecondsUnit,
    ltMinutesUnit,
    ltNotAvailableYet,
    ltSettingsOfOtherConfig,
    ltBothQuotes,
    // Data download

    // Cleaning

    // Recording
    ltTimeStamp,
    ltRecordCodecFailed,
    ltRecordFileFailed,
    ltRecordNoMemory,
    ltRecordWriteFailed,
    ltRecordRepeats,

    // Terminal

    // Safe configuration work
    ltHistoryMenu,
    ltExportZonesMenu,
    ltImportZonesMenu,
    ltChangesButton,
    ltChangesCaption,
    ltNoEarlierConfig,
    ltNoChanges,
    ltChangesFrom,
    ltChangesToSend,
    ltHistoryCaption,
    ltHistoryTime,
    ltHistoryKind,
    ltHistorySize,
    ltHistorySensors,
    ltHistoryRead,
    ltHistorySent,
    ltHistoryShow,
    ltHistoryDiff,
    ltHistoryLoad,
    ltHistoryEmpty,
    ltHistoryNotWritten,
    ltZonesFileFilter,
    ltZonesNotParsed,
    ltZonesNoSensor,
    ltZonesNotWritten,
    ltUploadNoReply,
    ltUploadConnectionLost,
    ltPictureNotSaved,
    ltPictureNotLoaded,
    ltPictureWrongExtension,
    ltPictureNotReadable,
    ltPictureTooLarge,
    // The count check.
    ltCountCheckMenu,
    ltCountCheckCaption,
    ltCountCheckZone,
    ltCountCheckDetector,
    ltCountCheckHand,
    ltCountCheckMatched,
    ltCountCheckMissed,
    ltCountCheckFalse,
    ltCountCheckError,
    ltCountCheckTotal,
    ltCountCheckStart,
    ltCountCheckStop,
    ltCountCheckReset,
    ltCountCheckSave,
    ltCountCheckSaveTitle,
    ltCountCheckFilter,
    ltCountCheckNotWritten,
    ltCountCheckHint,

    // Zone editor precision
    ltZoneCoordinatesMenu,
    ltZoneCoordinatesCaption,
    ltCornerColumn,
    ltCornerX,
    ltCornerY,
    ltCornerXPixels,
    ltCornerYPixels,
    ltCornerPicture,
    ltCornerMarkedEdge,
    ltZoneNotConvex,
    ltZoneTooSmall,
    ltZoneTooFlat,

    ltExtraAfter
};
// Every entry, the design's and ours.
constexpr int LangTableSize = ltExtraAfter - 1;
constexpr int LangRussian = 0;
constexpr int LangEnglish = 1;

// 0 loads the Russian texts, 1 the English ones; any other code changes nothing.
void SelectLanguage(int language);

// Entry n (1..LangTableSize) in the selected language as UTF-8; empty before the first selection
// and for numbers outside the table.
const std::string& LangText(int n);
QString Lang(int n);
