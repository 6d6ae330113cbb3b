#pragma once

#include "widgets/shell/TRzCustomSelectFolderDialog.h"

// The folder selection dialog: lets the user pick one folder from a tree of
// the file system, creating, renaming or deleting folders on the way.
class TRzSelectFolderDialog : public TRzCustomSelectFolderDialog
{
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(int FormWidth READ FormWidth WRITE SetFormWidth)
    Q_PROPERTY(int FormHeight READ FormHeight WRITE SetFormHeight)
    Q_PROPERTY(TFormWindowState FormWindowState READ FormWindowState WRITE SetFormWindowState)
    Q_PROPERTY(TRzSelectFolderDialogOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(QColor FrameColor READ PublishedFrameColor WRITE SetPublishedFrameColor)
    Q_PROPERTY(Rz::TFrameStyleEx FrameStyle READ FrameStyle WRITE SetFrameStyle)
    Q_PROPERTY(bool FrameVisible READ FrameVisible WRITE SetFrameVisible)
    Q_PROPERTY(
        TFramingPreference FramingPreference READ FramingPreference WRITE SetFramingPreference)
    Q_PROPERTY(bool HotTrack READ HotTrack WRITE SetHotTrack)
    Q_PROPERTY(QColor HighlightColor READ PublishedHighlightColor WRITE SetPublishedHighlightColor)
    Q_PROPERTY(QColor HotTrackColor READ PublishedHotTrackColor WRITE SetPublishedHotTrackColor)
    Q_PROPERTY(
        THotTrackColorType HotTrackColorType READ HotTrackColorType WRITE SetHotTrackColorType)
    Q_PROPERTY(QString SelectedPath READ SelectedPath WRITE SetSelectedPath STORED false)

public:
    explicit TRzSelectFolderDialog(QObject *parent = nullptr);
};
