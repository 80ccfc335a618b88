#pragma once

namespace quorvel {

// When something of that name exists, asks whether to replace it until the answer begins
// with Y or N (either case); true means skip. The end of input counts as N, so the
// question never waits without end.
bool AskOverwrite(const char* name);

}  // namespace quorvel
