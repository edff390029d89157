#pragma once
// Reading and writing the stored values of the document model, shared by its units.
#include "AnsiString.h"
#include "SysUtils.h"
#include "uDataFile.h"
#include "uKalender.h"
#include "uTransformation.h"

#include <algorithm>
#include <cmath>

// A stored length or position in millimetres.
inline float ReadMM(TCustomDataFile& DataFile, const AnsiString& Section, const char* Key, float Default,
                          float Low = -MaxStoredMM)
{
    return ReadCheckedSingle(DataFile, Section, Key, Default, Low, MaxStoredMM);
}

inline float ReadAngle(TCustomDataFile& DataFile, const AnsiString& Section, const char* Key, float Default)
{
    return CheckedAngle(DataFile.ReadFloat(Section, Key, Default), Default);
}

inline void WriteSingle(TCustomDataFile& DataFile, const AnsiString& Section, const char* Key, float Value)
{
    DataFile.WriteFloat(Section, Key, double(Value));
}

// True when the section holds a picture manager copy entry.
inline bool HasPictureCopy(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TDataFileHeader header;
    return DataFile.FindEntry(Section, "FileName", header);
}

inline AnsiString Num(int Index)
{
    return IntToStr(Index);
}
