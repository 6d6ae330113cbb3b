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
    case Stage::Settings:
        // The end check before the settings write can still find the data
        // folder changed since the proof: the copy is then no longer whole.
        try {
            std::rethrow_exception(error);
        } catch (const EProofFailed &) {
            return ProofFailed;
        } catch (...) {
            return stage == Stage::Copy ? CopyFailed : SettingsFailed;
        }
    }
    return Unexpected;
}

} // namespace MoveErrors
