#pragma once

namespace quorvel::expander {

// Processes the entry records of the payload until the end of the archive, then closes the
// archive file. Returns only on success.
void ExtractEntries();

}  // namespace quorvel::expander
