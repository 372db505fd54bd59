#include "app/MessageBoxes.h"

#include "app/Application.h"
#include "platform/AnsiCodePage.h"
#include "platform/Exceptions.h"

#include <QMessageBox>

#include <cstdio>
#include <exception>
#include <new>

namespace {

MessageBoxHook &currentHook()
{
    static MessageBoxHook hook;
    return hook;
}

void show(QWidget *parent, MessageBoxKind kind, const QString &text)
{
    if (const MessageBoxHook &hook = currentHook()) {
        hook(kind, text);
        return;
    }
    if (kind == MessageBoxKind::Warning)
        QMessageBox::warning(parent, QStringLiteral("警告"), text);
    else
        QMessageBox::critical(parent, Application().Title, text);
}

QString oneLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line;
}

}  // namespace

void WarningBox(QWidget *parent, const QString &text)
{
    show(parent, MessageBoxKind::Warning, text);
}

void ErrorBox(QWidget *parent, const QString &text)
{
    show(parent, MessageBoxKind::Error, text);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    return std::exchange(currentHook(), std::move(hook));
}

MessageBoxHook StandardErrorMessageBoxes()
{
    return [](MessageBoxKind kind, const QString &text) {
        const QString lead = kind == MessageBoxKind::Warning ? QStringLiteral("警告: ") : QStringLiteral("エラー: ");
        const QByteArray line = EncodeSystemText(lead + oneLine(text) + QLatin1Char('\n'));
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
    };
}

QString MessageOfCurrentException()
{
    try {
        throw;
    } catch (const Exception &e) {
        return e.Message();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("メモリが不足しています。");
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("不明な例外が発生しました。");
    }
}
