#include "RunLock.h"

#include "app/HeldFile.h"
#include "app/PathCodec.h"
#include "app/modCommon.h"

namespace {

modAPI::ProcessLock gLock;
int gHolders = 0;

} // namespace

QString RunLock::File() {
    return modCommon::AppPath + QStringLiteral("actions.lock");
}

RunLock::~RunLock() {
    if (m_mine && --gHolders == 0)
        gLock.Release();
}

RunLock::Result RunLock::Take(bool wait) {
    if (m_mine)
        return Result::Taken;
    if (gHolders == 0) {
        switch (gLock.Take(File(), wait)) {
        case modAPI::LockResult::Taken:
            break;
        case modAPI::LockResult::Busy:
            return Result::Busy;
        case modAPI::LockResult::Unsupported:
            m_error = PathCodec::Display(File()) + QStringLiteral(" (") +
                      modAPI::SystemMessage(modAPI::LastAPIError) + u')';
            return Result::Failed;
        }
    }
    ++gHolders;
    m_mine = true;
    return Result::Taken;
}
