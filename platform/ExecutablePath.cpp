#include "platform/ExecutablePath.h"

#include "platform/AnsiCodePage.h"

#include <filesystem>
#include <system_error>

QString ExecutableFileName()
{
    const std::filesystem::path self("/proc/self/exe");
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(self, error);
    if (error) {
        // The file was replaced or deleted after the start: the kernel still
        // names it, with " (deleted)" appended, which is the best we can say.
        real = std::filesystem::read_symlink(self, error);
        if (error)
            return {};
    }
    return DecodeSystemText(QByteArray::fromStdString(real.native()));
}
