// The copy engine's side of the guest session: the write of an upload's data packet has
// completed, or the session is closing. Everything else reaches the engine as the steps of the
// replies it awaits.
#pragma once

class IGuestTransferEngine {
public:
    virtual ~IGuestTransferEngine() = default;

    // The write of a data packet has completed.
    virtual void DecideToContinue() = 0;
    // The session is closing: close and remove a partly written download, end the copy.
    virtual void CloseForStop() = 0;
};
