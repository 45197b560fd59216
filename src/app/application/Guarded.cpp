#include "app/application/Guarded.h"

#include <new>
#include <stdexcept>

#include "app/messages/MessageBoxes.h"
#include "app/messages/TextBridge.h"

namespace varo {

void ReportUnexpectedFailure(std::exception_ptr failure) noexcept {
    try {
        QString reason;
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            reason = QStringLiteral("内存不足");
        } catch (const std::exception& error) {
            reason = QStringLiteral("意外错误：%1").arg(FromUtf8(error.what()));
        } catch (...) {
            reason = QStringLiteral("意外错误");
        }
        ShowMessage(MessageKind::Warning, QStringLiteral("操作未完成"),
                    QStringLiteral("操作因%1未能完成，已有的数据和文件保持不变。").arg(reason));
    } catch (...) {
        // Not even the warning could be shown: the window goes on regardless.
    }
}

}  // namespace varo
