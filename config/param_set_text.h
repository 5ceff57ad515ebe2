// The operator's words for parameter sets (config/param_set.h): what is
// wrong with a file, a difference, and what a restore did with a register.
#pragma once

#include "config/param_set.h"

#include <QString>

// "参数文件 FILE：第 3 项的 raw 不在 -32768～32767 内（寄存器 29）" and so on.
QString paramFileText(const QString &path, const ParamFileError &error);

// Caption of register reg in the interface language ("寄存器 49" beyond
// the 48).
QString paramCaption(int reg);

// Heading of a difference table and one row of it: register, caption, the
// left and the right value as the configuration window shows them.
QString paramDiffHeading(const QString &left, const QString &right);
QString paramDiffRow(const ParamDiff &diff);
// The one line for two equal sets.
QString paramSetsEqualText();

// A planned register that is not written: the communication setting left
// alone, or the refusal with its reason.
QString plannedSkipText(const PlannedWrite &write);
// A planned write not attempted: the run stopped at an earlier failure.
QString notAttemptedText(int reg);
// A write's outcome: written and confirmed by the read-back, refused, or
// failed with its kind.
QString restoreOutcomeText(const ParamWrite &write);

// A whole-set read that failed: the registers of every block not read, and
// why ("寄存器 17～32 读取失败：…").
QString paramReadFailureText(const ParamSetRead &read);
