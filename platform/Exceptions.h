// The exception classes of the program. Every exception carries a message
// meant for the user; the message is what warning boxes show.
#pragma once

#include <QString>

#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(const QString &message);
    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

class EArgumentException : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be opened for reading.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
    // "ファイル <full path> は開けません。 <system text> "
    static EFOpenError ForFile(const QString &fileName, int errorCode);
};

// A file that cannot be created or replaced.
class EFCreateError : public Exception {
public:
    using Exception::Exception;
    // "ファイル "<full path>" を作成できません。<system text>"
    static EFCreateError ForFile(const QString &fileName, int errorCode);
};
