// Register tables of the laser heads and the record of settings words the
// program keeps for one head.
#pragma once

#include "platform/WinDef.h"

// One entry of a head register table. Only the register number and the width
// (registers, one byte each) drive any operation; the rest documents the
// register's range as the head maker states it.
struct HeadRegister {
    int32_t index;
    int32_t reg;
    int32_t minimum;
    int32_t maximum;
    int32_t defaultValue;
    int32_t width;
};
static_assert(sizeof(HeadRegister) == 24, "six 32-bit values");

constexpr int kHeadRegisterCount = 38;  // laser head of device types 1 to 3
constexpr int kQodRegisterCount = 8;    // heads of device type 4

extern const HeadRegister g_headRegisterTable[kHeadRegisterCount];
extern const HeadRegister g_qodRegisterTable[kQodRegisterCount];

// The settings words of one head: word i belongs to entry i of
// g_headRegisterTable (a disc head uses the first 8 words for the entries of
// g_qodRegisterTable). Words 22 and 23 are never read from a head: the
// temperature compensation keeps its scale and offset there.
struct SensorRegisters {
    SHORT words[kHeadRegisterCount];
};
static_assert(sizeof(SensorRegisters) == 76, "38 signed 16-bit words");
