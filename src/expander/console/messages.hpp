// Every text the Expander prints, byte for byte. BEL bytes are written separately.
#pragma once

namespace quorvel::expander::message {

inline constexpr char kBannerStart[] = "*** ";
inline constexpr char kBannerName[] = "Quorvel Expander 32 Ver. 1.60";
inline constexpr char kBannerNotice[] = " ***  Quorvel Project, self-extracting archives";
inline constexpr char kCoreProgram[] = "This is core program.";
inline constexpr char kSmaller[] =
    "This file is smaller than original file.  Cannot expand.  Press ENTER key.";
inline constexpr char kLarger[] =
    "This file is larger than original file.  This file might be infected with virus.  "
    "Cannot expand.  Press ENTER key.";
inline constexpr char kPassword[] = "Password : ";
inline constexpr char kAlreadyExists[] = " already exists. Overwrite? (Y/N) : ";
inline constexpr char kSkipping[] = "skipping : ";
inline constexpr char kExpanding[] = "expanding : ";
inline constexpr char kExpandingTail[] = " ... ";
inline constexpr char kEnd[] = "end.";
inline constexpr char kCannotMakeFolder[] = "Cannot make folder : ";
inline constexpr char kReadError[] = "File read error.";
inline constexpr char kWriteError[] = "File write error.";
inline constexpr char kBroken[] = "This file is broken.";
inline constexpr char kPressEnter[] = "Press Enter key.";
inline constexpr char kCouldNotRun[] = "Couldn't run ";
inline constexpr char kUnsafePath[] = "Unsafe path : ";
inline constexpr char kRuntimeError[] = "Runtime error ";
inline constexpr char kNoArguments[] =
    "This is a self-extracting archive: run it with no argument to unpack it here, or use "
    "quorvel list or quorvel extract on it.";
inline constexpr char kRuntimeErrorAt[] = " at ";

}  // namespace quorvel::expander::message
