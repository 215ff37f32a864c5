#ifndef SSG_OUTPUTFILETYPE_H
#define SSG_OUTPUTFILETYPE_H

// Form of the deterministic enabling records. The writers test for TEXT_FILE
// only: every other value selects the binary form.
enum OutputFileType { TEXT_FILE = 0, BINARY_FILE = 1 };

#endif
