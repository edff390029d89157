#pragma once
// The editor's commands: a group code (the group number x 256) and an id
// within the group. The command dispatcher, the caption and picture tables,
// the tool bars and the button states all name them from here.
#include <cstdint>

enum TRtCommandGroup : int32_t {
    rtgStyle = 1 * 256,     // character styles
    rtgAlign = 2 * 256,     // paragraph alignment
    rtgEdit = 3 * 256,      // clipboard, selection, find, spelling, undo
    rtgFile = 4 * 256,
    rtgView = 5 * 256,      // printing, zoom, paging
    rtgData = 6 * 256,      // moving through the records of a data source
    rtgParagraph = 7 * 256, // paragraph flags
    rtgTable = 8 * 256,
    rtgNumbering = 9 * 256, // numbering and outline
    rtgInsert = 10 * 256,
    rtgValue = 11 * 256,    // the tool bar's boxes, run with a value
};

enum TRtStyleCommand : int32_t {
    rtcStyleNormal = 1,
    rtcStyleBold = 2, // the first of the commands that switch one style bit
    rtcStyleItalic = 3,
    rtcStyleUnderline = 4,
    rtcStyleHyperLink = 5,
    rtcStyleStrikeOut = 6,
    rtcStyleSuper = 7,
    rtcStyleSub = 8,
    rtcStyleHidden = 9,
    rtcStyleRtfCode = 10,
    rtcStyleProtected = 11,
};

enum TRtAlignCommand : int32_t {
    rtcAlignLeft = 1,
    rtcAlignRight = 2,
    rtcAlignJustified = 3,
    rtcAlignCenter = 4,
};

enum TRtEditCommand : int32_t {
    rtcEditCopy = 1,
    rtcEditCut = 2,
    rtcEditPaste = 3,
    rtcEditSelectAll = 4,
    rtcEditHideSelection = 5,
    rtcEditFind = 6,
    rtcEditReplace = 7,
    rtcEditSpellcheck = 8,
    rtcEditUndo = 9,
    rtcEditFindNext = 10,
    rtcEditDeleteText = 11,
    rtcEditRedo = 12,
    rtcEditSpellAsYouGo = 13,
    rtcEditThesaurus = 14,
};

enum TRtFileCommand : int32_t {
    rtcFileExit = 1, // belongs to the application
    rtcFileNew = 2,
    rtcFileOpen = 3,
    rtcFileSave = 4,
    rtcFileClose = 5,
};

enum TRtViewCommand : int32_t {
    rtcViewPrint = 1,
    rtcViewPrinterSetup = 2,
    rtcViewFitWidth = 3,
    rtcViewFitPage = 4,
    rtcViewZoomIn = 5,
    rtcViewZoomOut = 6,
    rtcViewNextPage = 7,
    rtcViewPriorPage = 8,
    rtcViewPrintDialog = 9,
};

enum TRtDataCommand : int32_t {
    rtcDataNext = 1,
    rtcDataPrevious = 2,
    rtcDataAdd = 3,
    rtcDataDelete = 4,
    rtcDataEdit = 5,
    rtcDataCancel = 6,
    rtcDataFirst = 7,
    rtcDataLast = 8,
    rtcDataPost = 9,
};

enum TRtParagraphCommand : int32_t {
    rtcParagraphProtect = 1,
    rtcParagraphKeep = 2,
};

enum TRtTableCommand : int32_t {
    rtcTableCreate = 1,
    rtcTableBordersOff = 2,
    rtcTableLeftBorders = 3,
    rtcTableTopBorders = 4,
    rtcTableBottomBorders = 5,
    rtcTableRightBorders = 6,
    rtcTableSelectRow = 7,
    rtcTableInsertRow = 8,
    rtcTableDeleteRow = 9,
    rtcTableDeleteColumn = 10,
    rtcTableInsertColumn = 11,
    rtcTableSelectColumn = 12,
    rtcTableSplitCell = 13,
    rtcTableCombineCells = 14,
    rtcTableBordersOn = 15,
    rtcTableInnerBorders = 16,
    rtcTableOuterBorders = 17,
};

enum TRtNumberingCommand : int32_t {
    rtcNumberingBullets = 1,
    rtcNumberingNumbers = 2,
    rtcNumberingNextLevel = 3,
    rtcNumberingPriorLevel = 4,
    rtcNumberingOutline = 5, // include in the outline
    rtcNumberingOutlineUp = 6,
    rtcNumberingOutlineDown = 7,
};

enum TRtInsertCommand : int32_t {
    rtcInsertNumber = 1,
    rtcInsertField = 2,
    rtcInsertHyperlink = 3, // edits the hyperlink at the cursor
};

enum TRtValueCommand : int32_t {
    rtcValueFontName = 1,
    rtcValueFontSize = 2,
    rtcValueFontColor = 3,
    rtcValueBackColor = 4,
    rtcValueParColor = 10,
    rtcValueParStyle = 83,
};
