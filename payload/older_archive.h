// Writing containers of the older layout ("CH", 20-byte entry headers, no digests), the form in
// which the skins travel inside the payload. Only the payload generator writes this layout; the
// setup reads it (ArchiveWalk) and never writes it.
#pragma once

// Appends the file under its bare name (after the last backslash) to an older-layout container,
// creating the container when it does not exist; 1 on success, 0 on any failure: empty path,
// name empty or longer than 12 characters, duplicate name, a current-layout or damaged
// container, unreadable source, compression failure. A failed append leaves the container as it
// was (a container created by the call stays as an empty one).
int appendOlderEntry(const char* archivePath, const char* sourcePath);
