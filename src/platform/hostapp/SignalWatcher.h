// Turns SIGINT and SIGTERM into a call from the event loop.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class TSignalWatcher : public QObject {
public:
    // One watcher at a time: it owns the process's handlers for the two signals.
    explicit TSignalWatcher(std::function<void(int nSignal)> fnSignal, QObject* pParent = nullptr);
    ~TSignalWatcher() override;
    TSignalWatcher(const TSignalWatcher&) = delete;
    TSignalWatcher& operator=(const TSignalWatcher&) = delete;

private:
    std::function<void(int)> m_fnSignal;
    QSocketNotifier* m_pNotifier = nullptr;
};
