#pragma once

#include "document/picture_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Caption macros: "$(PicName)", "$(W)x$(H)" and their kin, expanded for one
// picture entry. One routine serves every text made from a picture: grid
// captions, the viewer title, the full-screen information line, status and
// dialog lines, rename formats, external-application arguments, catalogs,
// printouts and report files.
//
//   $(PicPath)      $(PP)   full path (an archive member: its name)
//   $(ShortPicPath) $(SPP)  the same (there are no short names here)
//   $(PicDir)       $(PD)   folder of the file (or of its archive)
//   $(PicName)      $(PN)   file name
//   $(ShortPicName) $(SPN)  last component of the full path
//   $(FileName)     $(FN)   file name without its extension
//   $(ArcPath)      $(AP)   path of the archive holding the picture
//   $(ArcName)      $(AN)   name of that archive
//   $(Width) $(W), $(Height) $(H), $(Color) $(C)   pixel size and bits
//   $(Date) $(D), $(Time) $(T)               modification "%Y/%m/%d", "%H:%M:%S"
//   $(CreateDate) $(CD), $(CreateTime) $(CT) creation date and time
//   $(Length)       $(L)    size as "1.5KB" (one decimal, B to TB)
//   $(Size)         $(S)    size in bytes as "1,536"
//   $(Info)         $(I)    the decoder's information text
//   $(Note)         $(N)    the note, its own macros expanded
//   $(TodayDate) $(TD), $(TodayTime) $(TT)   now, in the locale's short form
//   $(CP)                   items of the optional cpdecode library (JPEG only)
//
// Dates and times are local. Names are matched exactly (letter case
// counts). A "$(" that names no macro is left as it stands, and values are
// never scanned again, so a file called "$(W).jpg" keeps its name. The note
// is the one value that is expanded; inside it "$(Note)" and "$(N)" are left
// as they stand, so a note that quotes itself cannot recurse.
namespace vemra {

// What an expansion needs besides the entry.
struct CaptionEnvironment {
    // The library "$(CP)" asks; empty: "libcpdecode.so" beside the program,
    // else along the loader's search path.
    std::string cpDecodeLibrary;
    // The moment "$(TodayDate)" and "$(TodayTime)" show (seconds since
    // 1970); none: the present.
    std::optional<std::int64_t> now;
};

// `format` with every macro replaced by its value for `entry`. The entry's
// note is used as it is: load it first (loadNote) when the format may hold
// "$(Note)".
std::string expandCaption(std::string_view format, const PictureSource& entry,
                          const CaptionEnvironment& environment = {});

// The form for when there is no picture (a viewer showing nothing): the
// picture's macros expand to nothing; "$(TodayDate)" and "$(TodayTime)"
// still work.
std::string expandCaptionWithoutPicture(std::string_view format,
                                        const CaptionEnvironment& environment = {});

} // namespace vemra
