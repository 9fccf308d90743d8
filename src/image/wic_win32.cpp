// The Windows Imaging Component, which every Windows since Vista has: no codec of our own in
// the program. Images come out as 32-bit BGRA, whatever they are stored as, and are laid over
// white a row at a time. The one file of image/ that includes <windows.h>, and compiled only
// for Windows: the rest of the folder is the same on every system.
#include <wincodec.h>
#include <windows.h>

#include <vector>

#include "image/codec.h"
#include "platform/win32.h"

namespace kal2map {
namespace {

using image::Format;

// An interface pointer released when it goes.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p_ != nullptr) p_->Release();
  }
  T** operator&() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM on the calling thread for as long as the images need it. A thread whose apartment is
// already set up keeps it; only what was started here is ended here.
class Apartment {
 public:
  Apartment() : result_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  ~Apartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  HRESULT result() const { return result_ == RPC_E_CHANGED_MODE ? S_OK : result_; }

 private:
  HRESULT result_;
};

std::error_code FromHresult(HRESULT hr, Format format) {
  switch (hr) {
    // The signature was known: no codec took the file because it broke off or is corrupt.
    case WINCODEC_ERR_COMPONENTNOTFOUND:
    case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
      return MakeError(ImageError::kDamaged);
    case WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT:
    case WINCODEC_ERR_UNSUPPORTEDOPERATION:
    case WINCODEC_ERR_UNSUPPORTEDVERSION:
      return image::Unsupported(format);
    case WINCODEC_ERR_IMAGESIZEOUTOFRANGE:
      return MakeError(ImageError::kTooLarge);
    case E_OUTOFMEMORY:
      return std::make_error_code(std::errc::not_enough_memory);
  }
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32) return {HRESULT_CODE(hr), std::system_category()};
  // What else the codecs report (bad header, bad stream data, a read past the end, ...) means
  // that the file is not what its signature promised.
  return MakeError(ImageError::kDamaged);
}

// An open file read by position, for its format and the sizes in its headers.
class HeadReader {
 public:
  explicit HeadReader(const std::wstring& path)
      : file_(::CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  HeadReader(const HeadReader&) = delete;
  HeadReader& operator=(const HeadReader&) = delete;
  ~HeadReader() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  }
  std::error_code Opened() const {
    return file_ == INVALID_HANDLE_VALUE ? win32::LastError() : std::error_code();
  }

  // Up to `size` bytes from `offset`; `got` says how many there were.
  std::error_code Read(std::uint64_t offset, std::uint8_t* out, DWORD size, DWORD& got) const {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    got = 0;
    if (!::ReadFile(file_, out, size, &got, &at) && ::GetLastError() != ERROR_HANDLE_EOF)
      return win32::LastError();
    return {};
  }

 private:
  HANDLE file_;
};

class WicRows final : public ImageRows {
 public:
  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }

  std::error_code Open(const std::wstring& path, Format format) {
    format_ = format;
    HRESULT hr = apartment_.result();
    if (SUCCEEDED(hr)) {
      hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&factory_));
    }
    if (SUCCEEDED(hr)) {
      hr = factory_->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                               WICDecodeMetadataCacheOnDemand, &decoder_);
    }
    if (SUCCEEDED(hr)) hr = decoder_->GetFrame(0, &frame_);
    if (SUCCEEDED(hr)) hr = frame_->GetSize(&width_, &height_);
    if (FAILED(hr)) return FromHresult(hr, format_);
    if (const std::error_code ec = image::CheckSize(width_, height_)) return ec;
    hr = factory_->CreateFormatConverter(&converter_);
    if (SUCCEEDED(hr)) {
      hr =
          converter_->Initialize(frame_.get(), GUID_WICPixelFormat32bppBGRA,
                                 WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
    }
    if (FAILED(hr)) return FromHresult(hr, format_);
    bgra_.resize(std::size_t{4} * width_);
    return {};
  }

  std::error_code NextRow(std::uint8_t* rgb) override {
    if (failed_ || row_ >= height_) return std::make_error_code(std::errc::result_out_of_range);
    const WICRect rect{0, static_cast<INT>(row_), static_cast<INT>(width_), 1};
    const HRESULT hr =
        converter_->CopyPixels(&rect, 4 * width_, static_cast<UINT>(bgra_.size()), bgra_.data());
    if (FAILED(hr)) {
      failed_ = true;
      return FromHresult(hr, format_);
    }
    ++row_;
    for (std::uint32_t x = 0; x < width_; ++x) {
      const std::uint8_t* p = &bgra_[4 * x];
      rgb[3 * x] = image::OverWhite(p[2], p[3]);
      rgb[3 * x + 1] = image::OverWhite(p[1], p[3]);
      rgb[3 * x + 2] = image::OverWhite(p[0], p[3]);
    }
    return {};
  }

 private:
  Apartment apartment_;  // first: it must outlive every interface below
  Ref<IWICImagingFactory> factory_;
  Ref<IWICBitmapDecoder> decoder_;
  Ref<IWICBitmapFrameDecode> frame_;
  Ref<IWICFormatConverter> converter_;
  Format format_ = Format::kUnknown;
  UINT width_ = 0, height_ = 0, row_ = 0;
  bool failed_ = false;
  std::vector<std::uint8_t> bgra_;
};

HRESULT WriteFrame(IWICBitmapEncoder* encoder, const std::uint8_t* rgb, std::uint32_t width,
                   std::uint32_t height, int quality) {
  Ref<IWICBitmapFrameEncode> frame;
  Ref<IPropertyBag2> options;
  HRESULT hr = encoder->CreateNewFrame(&frame, &options);
  if (SUCCEEDED(hr)) {
    PROPBAG2 name{};
    name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value{};
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    hr = options->Write(1, &name, &value);
  }
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.get());
  if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && format != GUID_WICPixelFormat24bppBGR)
    hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  std::vector<std::uint8_t> bgr(std::size_t{3} * width);
  for (std::uint32_t y = 0; y < height && SUCCEEDED(hr); ++y) {
    const std::uint8_t* row = rgb + y * bgr.size();
    for (std::size_t i = 0; i < bgr.size(); i += 3) {
      bgr[i] = row[i + 2], bgr[i + 1] = row[i + 1], bgr[i + 2] = row[i];
    }
    hr = frame->WritePixels(1, static_cast<UINT>(bgr.size()), static_cast<UINT>(bgr.size()),
                            bgr.data());
  }
  if (SUCCEEDED(hr)) hr = frame->Commit();
  return hr;
}

// The format by the file's signature; then, since the codec decodes progressive and
// interlaced images whole before the first row, their size by their headers, before it
// allocates.
std::error_code JudgeHeaders(const std::wstring& path, Format& format) {
  const HeadReader file(path);
  if (const std::error_code ec = file.Opened()) return ec;
  std::uint8_t head[8];
  DWORD got = 0;
  if (const std::error_code ec = file.Read(0, head, sizeof head, got)) return ec;
  // The system reads more formats (ICO, JPEG XR, DDS, ...) than a map may come in.
  format = image::DetectFormat(head, got);
  if (format == Format::kUnknown) return MakeError(ImageError::kUnknownFormat);
  const image::ReadAt read = [&file](std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    DWORD n = 0;
    if (const std::error_code ec = file.Read(offset, out, static_cast<DWORD>(size), n)) return ec;
    return n == size ? std::error_code() : MakeError(ImageError::kDamaged);
  };
  return image::CheckHeld(format, {image::HeldWholeBytes(format, read)});
}

}  // namespace

std::unique_ptr<ImageRows> OpenImageRows(const std::filesystem::path& path, std::error_code& ec) {
  const std::wstring wide = win32::ExtendedPath(path);
  Format format = Format::kUnknown;
  if ((ec = JudgeHeaders(wide, format))) return nullptr;
  auto rows = std::make_unique<WicRows>();
  if ((ec = rows->Open(wide, format))) return nullptr;
  return rows;
}

std::error_code EncodeBaselineJpeg(const std::uint8_t* rgb, std::uint32_t width,
                                   std::uint32_t height, int quality, std::string& jpeg) {
  if (width == 0 || height == 0 || quality < 1 || quality > 100) {
    return std::make_error_code(std::errc::invalid_argument);
  }
  // libjpeg's limit, so that both systems refuse the same images.
  if (width > 65500 || height > 65500) return MakeError(ImageError::kTooLarge);
  Apartment apartment;
  Ref<IWICImagingFactory> factory;
  Ref<IWICBitmapEncoder> encoder;
  Ref<IStream> stream;
  HRESULT hr = apartment.result();
  if (SUCCEEDED(hr)) {
    hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IWICImagingFactory, reinterpret_cast<void**>(&factory));
  }
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = WriteFrame(encoder.get(), rgb, width, height, quality);
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  STATSTG stat{};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  HGLOBAL memory = nullptr;
  if (SUCCEEDED(hr)) hr = ::GetHGlobalFromStream(stream.get(), &memory);
  if (FAILED(hr)) {
    return hr == E_OUTOFMEMORY ? std::make_error_code(std::errc::not_enough_memory)
                               : std::error_code(hr, std::system_category());
  }
  const void* bytes = ::GlobalLock(memory);
  if (bytes == nullptr) return win32::LastError();
  jpeg.assign(static_cast<const char*>(bytes), static_cast<std::size_t>(stat.cbSize.QuadPart));
  ::GlobalUnlock(memory);
  return {};
}

}  // namespace kal2map
