// The virtual service's JPEG files in a Windows program: the imaging component's JPEG
// encoder, into a memory stream that is then written to the file.
#include <wincodec.h>

#include <cerrno>
#include <vector>

#include "wia/Platform.h"

namespace winsim::wia {
namespace {

template <typename T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p) p->Release();
  }
  T** put() { return &p; }
  T* operator->() const { return p; }
};

// Encodes into `stream`; S_OK, E_ABORT when the progress stopped it, or the first failure.
HRESULT encode(IStream* stream, const Image& image, const PixelFormat& format, RowProgress& progress) {
  Held<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()));
  if (FAILED(hr)) return hr;
  Held<IWICBitmapEncoder> encoder;
  if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put()))) return hr;
  if (FAILED(hr = encoder->Initialize(stream, WICBitmapEncoderNoCache))) return hr;
  Held<IWICBitmapFrameEncode> frame;
  if (FAILED(hr = encoder->CreateNewFrame(frame.put(), nullptr))) return hr;
  if (FAILED(hr = frame->Initialize(nullptr))) return hr;
  const UINT width = static_cast<UINT>(image.width());
  const UINT height = static_cast<UINT>(image.height());
  if (FAILED(hr = frame->SetSize(width, height))) return hr;
  if (FAILED(hr = frame->SetResolution(format.xdpi, format.ydpi))) return hr;
  const bool colour = jpegInColour(format);
  WICPixelFormatGUID pixels = colour ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat8bppGray;
  if (FAILED(hr = frame->SetPixelFormat(&pixels))) return hr;
  if (pixels != (colour ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat8bppGray)) return E_UNEXPECTED;

  const UINT stride = width * (colour ? 3 : 1);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  std::vector<uint8_t> line(stride);
  for (UINT y = 0; y < height; ++y) {
    if (!progress.reached(static_cast<LONG>(y))) return E_ABORT;
    jpegRow(image, static_cast<LONG>(y), format, rgb.data(), line.data());
    if (colour) {
      for (UINT x = 0; x < width; ++x) std::swap(line[3 * x], line[3 * x + 2]);  // RGB to BGR
    }
    if (FAILED(hr = frame->WritePixels(1, stride, stride, line.data()))) return hr;
  }
  if (!progress.reached(static_cast<LONG>(height))) return E_ABORT;
  if (FAILED(hr = frame->Commit())) return hr;
  return encoder->Commit();
}

}  // namespace

int writeJpeg(std::FILE* file, const Image& image, const PixelFormat& format, RowProgress& progress) {
  Held<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return ENOMEM;
  const HRESULT encoded = encode(stream.p, image, format, progress);
  if (encoded == E_ABORT) return kWritingStopped;
  if (FAILED(encoded)) return EIO;
  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(stream.p, &memory))) return EIO;
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return EIO;
  const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
  const void* bytes = GlobalLock(memory);
  if (!bytes) return ENOMEM;
  const size_t written = std::fwrite(bytes, 1, size, file);
  GlobalUnlock(memory);
  return written == size ? 0 : (errno ? errno : EIO);
}

}  // namespace winsim::wia
