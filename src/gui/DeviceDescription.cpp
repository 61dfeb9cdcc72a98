#include "DeviceDescription.h"

#include "app/SysData.h"
#include "base/Report.h"
#include "eds/EdsConvert.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {
QString Text(const char* source)
{
    return QCoreApplication::translate("CMainFrame", source);
}
} // namespace

void CDeviceDescriptionCommand::Open()
{
    const QString chosen =
        QFileDialog::getOpenFileName(&m_owner, Text("打开设备描述"), m_sys.userDir,
                                     QStringLiteral("EDS, DCF (*.eds *.dcf *.EDS *.DCF)"));
    if (!chosen.isEmpty())
        ConvertFrom(chosen);
}

bool CDeviceDescriptionCommand::ConvertFrom(const QString& path)
{
    const CEdsConversion result = Eds::ConvertInto(path, m_sys.userDataDir);
    const QString shown = QDir::toNativeSeparators(path);
    if (!result.ok && result.errors > 0) {
        ReportMessage(Text("%1 第 %2 行：%3\n设备描述未转换，未写入任何文件。")
                          .arg(shown)
                          .arg(result.line)
                          .arg(result.reason),
                      MessageKind::Warning);
        return false;
    }
    if (!result.ok) {
        ReportMessage(Text("%1：%2\n字典未更改。").arg(shown, result.reason), MessageKind::Warning);
        return false;
    }
    const QString product = result.product.isEmpty() ? QFileInfo(path).fileName() : result.product;
    ReportMessage(
        Text("已将 %1 的字典（%2 个对象）写入 %3。\n程序下次启动时使用该字典：请重新启动程序。")
            .arg(product)
            .arg(result.objects)
            .arg(QDir::toNativeSeparators(m_sys.userDataDir)),
        MessageKind::Information);
    return true;
}
