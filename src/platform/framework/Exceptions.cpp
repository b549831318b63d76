#include "Exceptions.h"

#include <cerrno>

int CFileException::OsErrorToCause(long lOsError)
{
    switch (lOsError) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EXDEV:
    case EINVAL: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EEXIST:
    case EISDIR: return accessDenied;
    case EBADF: return invalidFile;
    case EBUSY:
    case ENOTEMPTY: return removeCurrentDir;
    case ESPIPE: return badSeek;
    case EIO: return hardIO;
    case ETXTBSY: return sharingViolation;
    case ENOLCK: return lockViolation;
    case ENOSPC:
    case EDQUOT: return diskFull;
    default: return generic;
    }
}

void CFileException::ThrowOsError(long lOsError)
{
    throw CFileException(OsErrorToCause(lOsError), lOsError);
}
