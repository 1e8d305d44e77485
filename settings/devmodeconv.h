// Conversion of private devmode records written by older driver generations
// into the current layout, and (for tools that set up old settings) the
// reverse: a current record stored in an older generation's layout. Both
// directions are driven by one offset map per generation (devmodeconv.cpp,
// docs/devmode-layouts.md).
#pragma once

#include <string_view>
#include <vector>

#include "core/devmode.h"

namespace kx {

// A master unit that a genuine record can carry: 203, 300, 305 or 600 dpi.
bool IsValidMasterUnit(WORD wMasterUnit);

enum class DevmodeGeneration { None, G233, G240, G241, G242, G252, G260, G262, Current };

// The generation's name ("2.4.1", "current"; "none" for None), its record
// size in bytes and the wVersion its conversion writes (0 for None/Current).
const char* DevmodeGenerationName(DevmodeGeneration g);
WORD DevmodeGenerationSize(DevmodeGeneration g);
WORD DevmodeGenerationVersion(DevmodeGeneration g);
// The generation of a name as DevmodeGenerationName gives it; None when unknown.
DevmodeGeneration DevmodeGenerationFromName(std::string_view name);

// Which layout the record's body has, by its master unit, validity marker,
// wSkalierung and w9999 (the record is zero beyond an older layout's size).
DevmodeGeneration RecogniseDevmodeGeneration(const KX_DEVMODE& dm);

// Converts the record in place into the current layout when it is one of the
// older generations; a current record and a record of no known generation
// stay as they are. In every case the retired cutter and dispenser modes are
// normalised afterwards (cutter 7 -> 6, cutter 8 -> 0, dispenser 7 -> 0).
void Devmode_Konverter(KX_DEVMODE* pKX_Devmode);

// The converters: pOld holds the old record (its generation's size), pNew
// receives the current record. pOld and pNew must not overlap.
void ConvertDevmode_233(const BYTE* pOld, KX_DEVMODE* pNew);
void ConvertDevmode_240(const BYTE* pOld, KX_DEVMODE* pNew);
void ConvertDevmode_241(const BYTE* pOld, KX_DEVMODE* pNew);
void ConvertDevmode_242(const BYTE* pOld, KX_DEVMODE* pNew);
void ConvertDevmode_252(const BYTE* pOld, KX_DEVMODE* pNew);
void ConvertDevmode_260(const BYTE* pOld, KX_DEVMODE* pNew);
void ConvertDevmode_262(const BYTE* pOld, KX_DEVMODE* pNew);

// The record `current` stored as an older generation writes it (its size,
// marker, wVersion and fields at their old places); empty for None/Current.
// What the old layout cannot hold is lost, as it was for that generation.
std::vector<BYTE> WriteDevmodeLayout(const KX_DEVMODE& current, DevmodeGeneration g);

}  // namespace kx
