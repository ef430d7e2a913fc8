#include "jww/jww_data.h"

#include <new>
#include <stdexcept>

namespace plattero {

TJwwData::TJwwData() {
  DataInit();
}

TJwwData::~TJwwData() {
  DataFree();
}

void TJwwData::DataInit() {
  FileOutOpt = 0;
  FontNames.clear();
  MojiEncode = false;
  DrawingInfo = TJwwDrawingInfo{};

  EntLgrp.clear();
  EntLay.clear();
  EntCol.clear();
  EntLtp1.clear();
  EntLtp2.clear();
  EntLtp3.clear();
  EntColS.clear();
  EntLtpS.clear();
  EntMoj.clear();
  EntNo.clear();
  EntLine.clear();
  EntEnko.clear();
  EntTen.clear();
  EntMoji.clear();
  EntSunpo.clear();
  EntSolid.clear();
  EntBlock.clear();
  EntBlockDef.clear();
  EntBlockTree.clear();
  EntBlockNum = 0;
  EntBlockTreeCut = false;

  BindImageInit();

  Enthd = TEntJwwHeader{};
  Enthd.dPrtBairitsu = 1.0;
  Enthd.dMemoriHyoujiMin = 1.0;
  Enthd.dMemoriX = 1.0;
  Enthd.dMemoriY = 1.0;
  Enthd.dBairitsu = 1.0;
  Enthd.dHanniBairitsu = 1.0;
  for (int i = 1; i <= 8; ++i) {
    Enthd.dZoomJumpBairitsu[i] = 1.0;
    Enthd.nZoomJumpGLay[i] = -1;
  }
  // A document that never read them writes blanks where Jw_cad keeps its own
  // values.
  Enthd.abReserved1.fill(0x20);
  Enthd.abReserved2.fill(0);
  status_ = TJwwReadStatus{};
  source_bytes_ = 0;
}

void TJwwData::DataFree() {
  // Swapping with empty vectors gives the memory back, not just the entries.
  std::vector<TEntJwwBlockDef>().swap(EntBlockDef);
  std::vector<TEntJwwNo>().swap(EntNo);
  std::vector<TEntJwwLine>().swap(EntLine);
  std::vector<TEntJwwEnko>().swap(EntEnko);
  std::vector<TEntJwwTen>().swap(EntTen);
  std::vector<TEntJwwMoji>().swap(EntMoji);
  std::vector<TEntJwwSunpo>().swap(EntSunpo);
  std::vector<TEntJwwSolid>().swap(EntSolid);
  std::vector<TEntJwwBlock>().swap(EntBlock);
  std::vector<TEntJwwBlockTree>().swap(EntBlockTree);
  std::vector<TBindImageType>().swap(BindImage);
  DataInit();
}

void TJwwData::SwapContents(TJwwData& other) noexcept {
  using std::swap;
  swap(Enthd, other.Enthd);
  swap(EntLgrp, other.EntLgrp);
  swap(EntLay, other.EntLay);
  swap(EntCol, other.EntCol);
  swap(EntLtp1, other.EntLtp1);
  swap(EntLtp2, other.EntLtp2);
  swap(EntLtp3, other.EntLtp3);
  swap(EntColS, other.EntColS);
  swap(EntLtpS, other.EntLtpS);
  swap(EntMoj, other.EntMoj);
  swap(EntNo, other.EntNo);
  swap(EntLine, other.EntLine);
  swap(EntEnko, other.EntEnko);
  swap(EntTen, other.EntTen);
  swap(EntMoji, other.EntMoji);
  swap(EntSunpo, other.EntSunpo);
  swap(EntSolid, other.EntSolid);
  swap(EntBlock, other.EntBlock);
  swap(EntBlockDef, other.EntBlockDef);
  swap(EntBlockTree, other.EntBlockTree);
  swap(EntBlockNum, other.EntBlockNum);
  swap(EntBlockTreeCut, other.EntBlockTreeCut);
  swap(BindImage, other.BindImage);
  swap(BindImageBytes, other.BindImageBytes);
  swap(BindImageLeftOut, other.BindImageLeftOut);
  swap(FileOutOpt, other.FileOutOpt);
  swap(MojiEncode, other.MojiEncode);
  swap(DrawingInfo, other.DrawingInfo);
  swap(FontNames, other.FontNames);
  swap(myMinWx, other.myMinWx);
  swap(myMinWy, other.myMinWy);
  swap(myMaxWx, other.myMaxWx);
  swap(myMaxWy, other.myMaxWy);
  swap(status_, other.status_);
  swap(source_bytes_, other.source_bytes_);
}

void TJwwData::SetFileOutOption(std::int32_t n) {
  FileOutOpt = (n >= 0 && n <= 63) ? n : 0;
}

namespace {

template <class T>
void Room(std::vector<T>& list, std::size_t spare) {
  list.reserve(list.size() + spare);
}

}  // namespace

bool TJwwData::AddEntPre() {
  try {
    Room(EntNo, 1000);
    Room(EntLine, 1000);
    Room(EntEnko, 1000);
    Room(EntTen, 1000);
    Room(EntMoji, 1000);
    Room(EntSunpo, 1000);
    Room(EntSolid, 1000);
    Room(EntBlock, 1000);
    for (TEntJwwBlockDef& b : EntBlockDef) {
      Room(b.mNo, 500);
      Room(b.mLine, 500);
      Room(b.mEnko, 500);
      Room(b.mTen, 500);
      Room(b.mMoji, 500);
      Room(b.mSunpo, 500);
      Room(b.mSolid, 500);
      Room(b.mBlock, 500);
    }
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace plattero
