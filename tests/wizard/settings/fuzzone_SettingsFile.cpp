// One settings file through the reader and writer of Quillbox.ini, for the
// corpus replay and a later libFuzzer build. The file is whatever the user
// or another program left there.

#include "Replay.h"
#include "fileutil/PrivateProfile.h"
#include "wizard/settings/Installation.h"
#include "wizard/settings/TCustomIniFile.h"

using namespace Installation;

int FuzzOne(const uint8_t *data, size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    const SettingsSnapshot read = SnapshotOf(contents);
    for (const std::optional<QByteArray> &value : {read.DataDirectory, read.ConnectionMode})
        Require(!value || !value->contains('\n'), "a value never runs past its line");
    if (read.ConnectionMode) {
        qint32 mode = 12345;
        if (!IniTextToInt(*read.ConnectionMode, &mode))
            Require(mode == 12345, "a text that is no number leaves the integer alone");
    }

    // A file whose last byte is a CR alone is the writer's one known gap:
    // what it appends goes right after that CR, on the same line, and does
    // not read back. The move reads the folder back and puts the old file
    // back then (tst_DatabaseMove, "value the reader cannot find").
    if (contents.endsWith('\r'))
        return 0;

    // What a move writes: the new data folder, every other value kept.
    const QByteArray folder("/srv/quillbox/data");
    const std::optional<QByteArray> written =
        PrivateProfile::SetValue(contents, SettingsSection, DataDirectoryKey, folder);
    Require(written.has_value(), "the data folder can always be set");
    const SettingsSnapshot reread = SnapshotOf(*written);
    Require(reread.DataDirectory == folder, "the data folder reads back as written");
    Require(reread.ConnectionMode == read.ConnectionMode, "the other values stay as they were");
    Require(PrivateProfile::SetValue(*written, SettingsSection, DataDirectoryKey, folder) ==
                written,
            "writing the same value again changes nothing");
    return 0;
}
