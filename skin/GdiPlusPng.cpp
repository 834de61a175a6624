#include "skin/GdiPlusPng.h"

#include <objidl.h>
#include <wrl/client.h>

#include <cstring>

namespace {

// The resource's bytes, or an empty span when it is missing or empty.
struct ResourceBytes {
  const void* data = nullptr;
  DWORD size = 0;
};

ResourceBytes FindPng(HMODULE module, UINT id) noexcept {
  HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (!res) return {};
  const DWORD size = ::SizeofResource(module, res);
  if (size == 0) return {};
  HGLOBAL loaded = ::LoadResource(module, res);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return {};
  return {data, size};
}

}  // namespace

CGdiPlusPng::~CGdiPlusPng() = default;

CGdiPlusPngResource::~CGdiPlusPngResource() { Empty(); }

void CGdiPlusPngResource::Empty() noexcept {
  // The image may read its stream up to its last moment: it goes before the block.
  m_pImage.reset();
  if (m_hBuffer) {
    ::GlobalUnlock(m_hBuffer.Get());
    m_hBuffer.Reset();
  }
}

bool CGdiPlusPngResource::Load(UINT id, HMODULE module) noexcept {
  Empty();
  const ResourceBytes bytes = FindPng(module, id);
  if (!bytes.data) return false;

  fw::GlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE, bytes.size));
  if (!block) return false;
  void* copy = ::GlobalLock(block.Get());
  if (!copy) return false;
  std::memcpy(copy, bytes.data, bytes.size);

  Microsoft::WRL::ComPtr<IStream> stream;
  if (::CreateStreamOnHGlobal(block.Get(), FALSE, &stream) != S_OK) {
    ::GlobalUnlock(block.Get());
    return false;
  }
  std::unique_ptr<Gdiplus::Image> image(NewGdiplusObject<Gdiplus::Image>(stream.Get()));
  // The image holds its own reference to the stream for as long as it needs it.
  stream.Reset();
  if (!image || image->GetLastStatus() != Gdiplus::Ok) {
    image.reset();
    ::GlobalUnlock(block.Get());
    return false;
  }
  m_pImage = std::move(image);
  m_hBuffer = std::move(block);
  return true;
}

std::unique_ptr<Gdiplus::Image> LoadPngFromResource(HMODULE module, UINT id) noexcept {
  const ResourceBytes bytes = FindPng(module, id);
  if (!bytes.data) return nullptr;

  fw::GlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE, bytes.size));
  if (!block) return nullptr;
  void* copy = ::GlobalLock(block.Get());
  if (!copy) return nullptr;
  std::memcpy(copy, bytes.data, bytes.size);
  ::GlobalUnlock(block.Get());

  Microsoft::WRL::ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(block.Get(), TRUE, &stream)) || !stream) return nullptr;
  // From here on the block is the stream's: it goes with the stream's last reference, which
  // the image holds until it is deleted.
  block.Release();
  return std::unique_ptr<Gdiplus::Image>(NewGdiplusObject<Gdiplus::Image>(stream.Get()));
}

int ImageWidth(Gdiplus::Image* image) noexcept {
  return image ? static_cast<int>(image->GetWidth()) : 0;
}

int ImageHeight(Gdiplus::Image* image) noexcept {
  return image ? static_cast<int>(image->GetHeight()) : 0;
}
