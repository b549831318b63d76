#include "KeptFolders.h"

#include "OVFDrives.h"

TKeptFolders::TKeptFolders()
{
    OVF_KeepResolvedFolders(kKeepMs);
    QObject::connect(&m_letGo, &QTimer::timeout, [] { OVF_ForgetResolvedFolders(); });
    m_letGo.start(kLetGoEveryMs);
}

TKeptFolders::~TKeptFolders() { OVF_KeepResolvedFolders(0); }
