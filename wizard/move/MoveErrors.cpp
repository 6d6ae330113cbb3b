#include "wizard/move/MoveErrors.h"

#include "fileutil/Exception.h"
#include "wizard/move/DatabaseMove.h"

namespace MoveErrors {

ExitCode ExitCodeOf(const std::exception_ptr &error, Stage stage)
{
    switch (stage) {
    case Stage::Before:
    case Stage::Checks:
        try {
            std::rethrow_exception(error);
        } catch (const Exception &) {
            return Refused;
        } catch (...) {
            return Unexpected;
        }
    case Stage::Copy:
        try {
            std::rethrow_exception(error);
        } catch (const EProofFailed &) {
            return ProofFailed;
        } catch (...) {
            return CopyFailed;
        }
    case Stage::Settings:
        return SettingsFailed;
    }
    return Unexpected;
}

} // namespace MoveErrors
