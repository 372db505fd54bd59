// The job: everything one compaction needs, as a plain value.
#pragma once

#include <QString>

#include <cstdint>

constexpr std::int32_t DefaultEngineType = 5;  // Jet 4.x format

struct TProjectFile {
    QString FSourceMdbPath;
    QString FSourceMdbPassword;
    QString FTargetMdbPath;
    QString FTargetMdbPassword;
    std::int32_t FEngineType = DefaultEngineType;
    bool FOptionAutoExit = false;
    bool FAutoStart = false;

    friend bool operator==(const TProjectFile &, const TProjectFile &) = default;
};

TProjectFile MakeProjectFile(const QString &sourceMdbPath, const QString &sourceMdbPassword,
                             const QString &targetMdbPath, const QString &targetMdbPassword,
                             std::int32_t engineType, bool optionAutoExit, bool autoStart);

TProjectFile DefaultProjectFile();

// Throws EArgumentException("EngineTypeが不正な値です。") unless the value is 4 or 5.
void CheckEngineType(std::int32_t engineType);

// The engine-type list of the main window: index 0 is 4, index 1 is 5.
std::int32_t EngineTypeFromListIndex(int index);
int ListIndexFromEngineType(std::int32_t engineType);  // checks first
