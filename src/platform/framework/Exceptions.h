// The framework's exception family: every failure inside the module is one of these,
// caught at the boundary of each export and completion routine.
#pragma once

#include <exception>

class CException : public std::exception {
public:
    const char* what() const noexcept override { return "CException"; }
};

// Raised by the check routine when a condition it is given is false.
class CMemoryException : public CException {
public:
    const char* what() const noexcept override { return "CMemoryException"; }
};

// Raised by the checking wrappers over platform calls; the wrapper has stored its failure code first.
class CNotSupportedException : public CException {
public:
    const char* what() const noexcept override { return "CNotSupportedException"; }
};

class CFileException : public CException {
public:
    enum Cause {
        none = 0,
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    explicit CFileException(int nCause = none, long lOsError = -1) : m_cause(nCause), m_lOsError(lOsError) {}

    // Maps a POSIX errno onto the framework's cause.
    static int OsErrorToCause(long lOsError);
    static void ThrowOsError(long lOsError);

    const char* what() const noexcept override { return "CFileException"; }

    int m_cause;
    long m_lOsError;
};
