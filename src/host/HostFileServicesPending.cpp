// Requests that need the host's file system are read whole but not yet served: the session
// stops on them.
#include "VantryHostSession.h"

bool TVantryHostSession::ServeMakeFolder() { return false; }
bool TVantryHostSession::ServeSetInfo() { return false; }
bool TVantryHostSession::ServeRemove() { return false; }
bool TVantryHostSession::ServeCreate() { return false; }
bool TVantryHostSession::ServeForkDataChunk() { return false; }
bool TVantryHostSession::ServeForkDataEnd() { return false; }
bool TVantryHostSession::ServeOpenFork() { return false; }
bool TVantryHostSession::ServeReqFork() { return false; }
bool TVantryHostSession::ServeGetInfo() { return false; }
bool TVantryHostSession::ServeListFiles() { return false; }
bool TVantryHostSession::ServeListVols() { return false; }
bool TVantryHostSession::ServeEndData() { return false; }
void TVantryHostSession::DiscardIncomingFile() {}
