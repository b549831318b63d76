// While it lives, folders that the file layer resolves serve the calls that follow for a
// moment, so that a stream of requests into one folder does not walk its path again for each
// (see OVF_KeepResolvedFolders). Now and then they are let go, so that a process that has gone
// idle holds no folder open.
#pragma once

#include <QTimer>

class TKeptFolders {
public:
    static constexpr unsigned kKeepMs = 100;
    static constexpr int kLetGoEveryMs = 1000;

    TKeptFolders();
    ~TKeptFolders();
    TKeptFolders(const TKeptFolders&) = delete;
    TKeptFolders& operator=(const TKeptFolders&) = delete;

private:
    QTimer m_letGo;
};
