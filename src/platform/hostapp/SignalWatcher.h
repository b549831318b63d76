// Turns SIGINT and SIGTERM into a call from the event loop.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// What a signal does when one came before it: delivered like the first, or the process ends at
// once as the signal's default action ends it (a loop that does not come back to hear the
// first cannot keep the user from stopping the process).
enum class ESecondSignal { Deliver, EndProcess };

class TSignalWatcher : public QObject {
public:
    // One watcher at a time: it owns the process's handlers for the two signals.
    explicit TSignalWatcher(std::function<void(int nSignal)> fnSignal, QObject* pParent = nullptr,
                            ESecondSignal eSecond = ESecondSignal::Deliver);
    ~TSignalWatcher() override;
    TSignalWatcher(const TSignalWatcher&) = delete;
    TSignalWatcher& operator=(const TSignalWatcher&) = delete;

private:
    std::function<void(int)> m_fnSignal;
    QSocketNotifier* m_pNotifier = nullptr;
};
