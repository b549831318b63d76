// One request in flight, as the guest session keeps it until its reply has been read: which
// reply it waits for and the step that takes it. The host answers in the order the requests
// went out, so the session keeps these in send order and hands each reply to the oldest.
#pragma once

#include "RemoteListing.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class EAwaitedReply {
    VolumeList,  // kFTP_msgAVol packets, then kFTP_msgEndData
    FileList,    // kFTP_msgAFile packets, then kFTP_msgEndData (or a kFTP_msgResult)
    FileInfo,    // one kFTP_msgFileInfo
    Result,      // one kFTP_msgResult
    Fork,        // kFTP_msgForkData packets, then kFTP_msgEndData, kFTP_msgAbort or kFTP_msgResult
    AbortAnswer, // the kFTP_msgResult of a download's kFTP_msgAbort, unless a fork ended with kFTP_msgAbort
    Barrier,     // no reply: its step runs once every request before it has been answered
};

// How a fork's data ended.
enum class EForkEnd { EndData, Abort, Result };

struct TAwaitedReply {
    using TResultStep = std::function<void(std::int16_t nResult)>;
    using TInfoStep = std::function<void(std::int16_t nResult, const std::uint8_t* pRecord)>;
    using TDataStep = std::function<void(const std::uint8_t* pData, std::uint16_t nLength)>;
    using TForkEndStep = std::function<void(EForkEnd eEnd, std::int16_t nResult)>;
    using TStep = std::function<void()>;
    using TEntriesStep = std::function<void(std::int16_t nResult, const std::vector<TRemoteEntry>& entries)>;

    EAwaitedReply eKind = EAwaitedReply::Result;
    const void* pOwner = nullptr; // the chain that asked; its steps are dropped when it goes away
    TResultStep onResult;         // Result, AbortAnswer
    TInfoStep onInfo;             // FileInfo
    TDataStep onData;             // Fork
    TForkEndStep onForkEnd;       // Fork
    TStep onReached;              // Barrier
    // A FileList that leaves the remote listing alone: its entries and result are gathered here.
    TEntriesStep onEntries;
    std::string sFolder;
    std::vector<TRemoteEntry> entries;
    std::int16_t nListResult = 0;

    static TAwaitedReply Of(EAwaitedReply eKind, const void* pOwner)
    {
        TAwaitedReply reply;
        reply.eKind = eKind;
        reply.pOwner = pOwner;
        return reply;
    }
    static TAwaitedReply ForResult(const void* pOwner, TResultStep step)
    {
        TAwaitedReply reply = Of(EAwaitedReply::Result, pOwner);
        reply.onResult = std::move(step);
        return reply;
    }
    static TAwaitedReply ForInfo(const void* pOwner, TInfoStep step)
    {
        TAwaitedReply reply = Of(EAwaitedReply::FileInfo, pOwner);
        reply.onInfo = std::move(step);
        return reply;
    }
    static TAwaitedReply ForFork(const void* pOwner, TDataStep onData, TForkEndStep onEnd)
    {
        TAwaitedReply reply = Of(EAwaitedReply::Fork, pOwner);
        reply.onData = std::move(onData);
        reply.onForkEnd = std::move(onEnd);
        return reply;
    }
    // Forgets the steps: the reply is still read, and dropped.
    void Drop()
    {
        pOwner = nullptr;
        onResult = nullptr;
        onInfo = nullptr;
        onData = nullptr;
        onForkEnd = nullptr;
        onReached = nullptr;
        onEntries = nullptr;
    }
};
