#pragma once

namespace quorvel::expander {

enum class Overwrite : unsigned char { Create, Replace, Skip };

// Create when nothing stands at the name (leaf is where its last part begins) in the folder
// entered for it. Otherwise asks whether to replace it until the answer begins with Y or N
// (either case): Replace or Skip. The end of input counts as N, so the question never waits
// without end.
Overwrite AskOverwrite(const char* name, const char* leaf);

}  // namespace quorvel::expander
