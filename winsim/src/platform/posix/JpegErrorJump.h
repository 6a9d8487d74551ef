// libjpeg's error exit as a jump back to the caller's jump point: libjpeg's own exit ends the
// process, which neither the service nor a test that reads its files may let happen.
#pragma once

#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which needs FILE

#include <jpeglib.h>

namespace winsim::wia {

// The error manager libjpeg is given, and the jump point its error exit returns to. The
// caller sets the jump point (setjmp) before every libjpeg call that may fail and creates no
// C++ object between the two.
struct JpegErrorJump {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] inline void jumpToJpegFailure(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrorJump*>(info->err)->jump, 1);
}

// libjpeg's standard manager in `error`, its error exit the jump; for a codec's `err`.
inline jpeg_error_mgr* jumpingErrors(JpegErrorJump* error) {
  jpeg_error_mgr* manager = jpeg_std_error(&error->manager);
  manager->error_exit = jumpToJpegFailure;
  return manager;
}

}  // namespace winsim::wia
