#pragma once

// Records of one Jw_cad drawing: the attribute block, the seven entity kinds,
// block definitions, the block nesting tree, the header and its tables.
//
// Records are plain data. Reading and writing them lives in entity_io and
// header_io, field by field in the file's little-endian layout.
//
// Lists are std::vector and a list's size is its count: the counts the format
// speaks of (EntLineN, mMojiN, N, Enthd.n1 ...) are the sizes of the lists
// (EntLine.size(), mMoji.size(), mNo.size(), EntNo.size() ...). Spare room for
// appending is capacity, given by reserve.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace plattero {

// Entity kind codes, as stored in TEntJwwNo::EntType; 8 selects the writer's
// attribute normalisation for a block definition.
enum EntKind : std::int32_t {
  kEntNone = 0,
  kEntLine = 1,      // CDataSen
  kEntEnko = 2,      // CDataEnko: arc, circle or ellipse
  kEntTen = 3,       // CDataTen: point
  kEntMoji = 4,      // CDataMoji: text
  kEntSunpo = 5,     // CDataSunpou: dimension
  kEntSolid = 6,     // CDataSolid
  kEntBlock = 7,     // CDataBlock: block reference
  kEntBlockDef = 8,  // CDataList: block definition
};

// The attribute block that starts every entity and block definition (15 bytes
// in the file, 13 for version 350 and below, which lack nPenWidth).
struct TEntJwwAttr {
  std::uint32_t lGroup = 0;     // curve attribute number, 0 = none
  std::uint8_t nPenStyle = 0;   // line type; on a point 100 = carries code, rotation, scale
  std::uint16_t nPenColor = 0;  // pen colour; on a solid 10 = own RGB colour
  std::uint16_t nPenWidth = 0;
  std::uint16_t nLayer = 0;   // 0..15 within the group
  std::uint16_t nGLayer = 0;  // layer group 0..15
  std::uint16_t sFlg = 0;     // flag bits, carried unchanged

  bool operator==(const TEntJwwAttr&) const = default;
};

struct TEntJwwLine {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0, end_x = 0, end_y = 0;

  bool operator==(const TEntJwwLine&) const = default;
};

struct TEntJwwEnko {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;  // centre
  double dHankei = 0;               // radius
  double radKaishiKaku = 0;         // start angle
  double radEnkoKaku = 0;           // swept angle
  double radKatamukiKaku = 0;       // tilt of the ellipse axis
  double dHenpeiRitsu = 0;          // flattening ratio
  std::uint32_t bZenEnFlg = 0;      // non-zero: whole circle or ellipse

  bool operator==(const TEntJwwEnko&) const = default;
};

struct TEntJwwTen {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0;
  std::uint32_t bKariten = 0;  // non-zero: temporary point
  std::uint32_t nCode = 0;     // the last three only in the file when att.nPenStyle is 100
  double radKaitenKaku = 0;
  double dBairitsu = 0;

  bool operator==(const TEntJwwTen&) const = default;
};

struct TEntJwwMoji {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0, end_x = 0, end_y = 0;  // base line
  std::uint32_t nMojiShu = 0;  // text type in its last two decimal digits
  double dSizeX = 0, dSizeY = 0;
  double dKankaku = 0;   // spacing between characters
  double degKakudo = 0;  // angle in degrees
  std::u16string strFontName;
  std::u16string str;  // "^@BM..." is an image reference

  bool operator==(const TEntJwwMoji&) const = default;
};

struct TEntJwwSunpo {
  TEntJwwAttr att;
  TEntJwwLine Sen;
  TEntJwwMoji Moji;
  std::uint16_t bSxfMode = 0;  // the six parts below are in the file from version 420
  TEntJwwLine Ho1, Ho2;
  TEntJwwTen Te1, Te2, Kt1, Kt2;

  bool operator==(const TEntJwwSunpo&) const = default;
};

struct TEntJwwSolid {
  TEntJwwAttr att;
  double start_x = 0, start_y = 0, end_x = 0, end_y = 0;
  double DPoint2_x = 0, DPoint2_y = 0, DPoint3_x = 0, DPoint3_y = 0;
  std::uint32_t Color = 0;  // in the file only when att.nPenColor is 10

  bool operator==(const TEntJwwSolid&) const = default;
};

struct TEntJwwBlock {
  TEntJwwAttr att;
  double DPKijunTen_x = 0, DPKijunTen_y = 0;  // insertion point
  double dBairitsuX = 0, dBairitsuY = 0;
  double radKaitenKaku = 0;
  std::uint32_t nNumber = 0;  // number of the definition placed

  bool operator==(const TEntJwwBlock&) const = default;
};

// One entry of an entity order: the kind and the index into its list.
struct TEntJwwNo {
  std::int32_t EntType = 0;
  std::int32_t EntNo = 0;

  bool operator==(const TEntJwwNo&) const = default;
};

struct TEntJwwBlockDef {
  TEntJwwAttr att;
  std::uint32_t nNumber = 0;  // TEntJwwBlock::nNumber refers to it
  std::uint32_t bRefferd = 0;
  std::uint32_t dtime = 0;
  std::u16string strName;
  std::vector<TEntJwwNo> mNo;  // N = mNo.size()
  std::vector<TEntJwwLine> mLine;
  std::vector<TEntJwwEnko> mEnko;
  std::vector<TEntJwwTen> mTen;
  std::vector<TEntJwwMoji> mMoji;
  std::vector<TEntJwwSunpo> mSunpo;
  std::vector<TEntJwwSolid> mSolid;
  std::vector<TEntJwwBlock> mBlock;
  bool ref_flag = false;  // reachable from the drawing: will be written
  std::int32_t ref_no = -1;

  bool operator==(const TEntJwwBlockDef&) const = default;
};

// One placed block of the nesting tree. A point (px, py) of the definition
// lies at (x + r1*px + r2*py, y + r3*px + r4*py).
struct TEntJwwBlockTree {
  TEntJwwAttr att;
  std::int32_t level = 0;
  std::int32_t parent = -1;
  std::uint32_t no = 0;
  std::int32_t defno = -1;
  std::u16string name;
  double x = 0, y = 0, r1 = 0, r2 = 0, r3 = 0, r4 = 0;

  bool operator==(const TEntJwwBlockTree&) const = default;
};

struct TEntJwwLayerGroup {
  std::int32_t anGLay = 0;
  std::int32_t anWriteLay = 0;
  double adScale = 0;
  std::int32_t anGLayProtect = 0;
  std::u16string aStrGLayName;

  bool operator==(const TEntJwwLayerGroup&) const = default;
};

struct TEntJwwLayer {
  std::int32_t aanLay = 0;
  std::int32_t aanLayProtect = 0;
  std::u16string aStrLayName;

  bool operator==(const TEntJwwLayer&) const = default;
};

struct TEntJwwColorNo {
  std::int32_t aPenColor = 0;
  std::int32_t anPenWidth = 0;
  std::int32_t aPrtPenColor = 0;
  std::int32_t anPrtPenWidth = 0;
  double adPrtTenHankei = 0;

  bool operator==(const TEntJwwColorNo&) const = default;
};

struct TEntJwwLineTypeNo {
  std::int32_t alLType = 0;
  std::int32_t anTokushuSenUintDot = 0;
  std::int32_t anTokushuSenPich = 0;
  std::int32_t anPrtTokushuSenPich = 0;

  bool operator==(const TEntJwwLineTypeNo&) const = default;
};

struct TEntJwwRandomLineNo {
  std::int32_t alLType = 0;
  std::int32_t anRandSenWide = 0;
  std::int32_t anTokushuSenPich = 0;
  std::int32_t anPrtRandSenWide = 0;
  std::int32_t anPrtTokushuSenPich = 0;

  bool operator==(const TEntJwwRandomLineNo&) const = default;
};

struct TEntJwwColorExNo {
  std::int32_t aPenColor = 0;
  std::int32_t anPenWidth = 0;
  std::u16string astrUDColorName;
  std::int32_t aPrtPenColor = 0;
  std::int32_t anPrtPenWidth = 0;
  double adPrtTenHankei = 0;

  bool operator==(const TEntJwwColorExNo&) const = default;
};

struct TEntJwwLineTypeExNo {
  std::int32_t alLType = 0;
  std::int32_t anTokushuSenUintDot = 0;
  std::int32_t anTokushuSenPich = 0;
  std::int32_t anPrtTokushuSenPich = 0;
  std::u16string astrUDLTypeName;
  std::int32_t anUDLTypeSegment = 0;
  std::array<double, 11> aadUDLTypePitch{};  // used 1..10

  bool operator==(const TEntJwwLineTypeExNo&) const = default;
};

struct TEntJwwMojiType {
  double adMojiX = 0, adMojiY = 0;  // character width and height
  double adMojiD = 0;               // spacing
  std::int32_t anMojiCol = 0;

  bool operator==(const TEntJwwMojiType&) const = default;
};

// One image file carried inside a drawing.
struct TBindImageType {
  std::u16string Fname;
  std::int32_t Fsize = 0;
  bool exf = false;  // set by the writer: carried by the file being written

  bool operator==(const TBindImageType&) const = default;
};

// The drawing header. Arrays indexed [1..8] (the zoom-jump slots) hold 9
// entries and leave entry 0 unused, so the slot numbers read as in the format.
struct TEntJwwHeader {
  std::u16string jwID;
  std::int32_t jwVer = 0;
  std::u16string strMemo;
  std::int32_t nZumen = 0;  // paper size code
  std::int32_t nWriteGLay = 0;
  // Bytes between the layer table and the dimension settings. Jw_cad stores
  // values there that we do not interpret; they are kept and written back.
  std::array<std::uint8_t, 56> abReserved1{};
  std::int32_t lnSunpou1 = 0, lnSunpou2 = 0, lnSunpou3 = 0, lnSunpou4 = 0, lnSunpou5 = 0;
  std::array<std::uint8_t, 4> abReserved2{};  // kept like abReserved1
  std::int32_t nMaxDrawWid = 0;
  bool bSenHaba100 = false;         // derived from nMaxDrawWid, never written
  std::int32_t nMaxDrawWidBak = 0;  // derived from nMaxDrawWid, never written
  double DPPrtGenten_x = 0, DPPrtGenten_y = 0, dPrtBairitsu = 0;
  std::int32_t nPrtSet = 0, nMemoriMode = 0;
  double dMemoriHyoujiMin = 0, dMemoriX = 0, dMemoriY = 0, DpMemoriKjTen_x = 0, DpMemoriKjTen_y = 0;
  double dKageLevel = 0, dKageIdo = 0;
  std::int32_t nKage9_15JiFlg = 0;
  double dKabeKageLevel = 0;
  double dTenkuuZuLevel = 0, dTenkuuZuEnkoR = 0;
  std::int32_t nMMTani3D = 0;
  double dBairitsu = 0, DPGenten_x = 0, DPGenten_y = 0;
  double dHanniBairitsu = 0, DPHanniGenten_x = 0, DPHanniGenten_y = 0;
  std::array<double, 9> dZoomJumpBairitsu{};
  std::array<double, 9> DPZoomJumpGenten_x{};
  std::array<double, 9> DPZoomJumpGenten_y{};
  std::array<std::int32_t, 9> nZoomJumpGLay{};
  double dDm11 = 0, dDm12 = 0, dDm13 = 0;
  std::int32_t lnDm1 = 0;
  double dDm21 = 0, dDm22 = 0;
  double dMojiBG = 0;
  std::int32_t nMojiBG = 0;
  std::array<double, 10> adFukusenSuuchi{};
  double dRyougawaFukusenTomeDe = 0;
  std::int32_t nDrawGamenTen = 0, nDrawPrtTen = 0, nBitMapFirstDraw = 0, nGyakuDraw = 0,
               nGyakuSearch = 0, nColorPrint = 0, nLayJunPrint = 0, nColJunPrint = 0,
               nPrtRenzoku = 0, nPrtKyoutsuuGray = 0;
  std::int32_t nPrtDpi = 0, nPrtDispOnlyNonDraw = 0;  // packed into one value in the file
  std::int32_t lnDrawTime = 0;                        // seconds
  std::int32_t nEyeInit = 0, dEye_H_Ichi_1 = 0, dEye_H_Ichi_2 = 0, dEye_H_Ichi_3 = 0;
  double dEye_Z_Ichi_1 = 0, dEye_Y_Ichi_1 = 0, dEye_Z_Ichi_2 = 0, dEye_Y_Ichi_2 = 0,
         dEye_V_Ichi_3 = 0;
  double dSenNagasaSnpou = 0, dBoxSunpouX = 0, dBoxSunpouY = 0, dEnHankeiSnpou = 0;
  std::int32_t nSolidNinniColor = 0, SolidColor = 0;
  double dMojiSizeX = 0, dMojiSizeY = 0, dMojiKankaku = 0;
  std::int32_t nMojiColor = 0, nMojiShu = 0;
  double dMojiSeiriGyouKan = 0, dMojiSeiriSuu = 0;
  std::int32_t nMojiKijunZureOn = 0;
  double adMojiKijunZureX0 = 0, adMojiKijunZureX1 = 0, adMojiKijunZureX2 = 0;
  double adMojiKijunZureY0 = 0, adMojiKijunZureY1 = 0, adMojiKijunZureY2 = 0;

  bool operator==(const TEntJwwHeader&) const = default;
};

// Fixed sizes of the header tables of a document that holds a drawing.
inline constexpr int kLayerGroupCount = 16;
inline constexpr int kLayerCount = 256;
inline constexpr int kColorCount = 10;
inline constexpr int kLineTypeCount = 8;
inline constexpr int kRandomLineCount = 5;
inline constexpr int kDoubleLineTypeCount = 4;
inline constexpr int kColorExCount = 257;
inline constexpr int kLineTypeExCount = 33;
inline constexpr int kMojiTypeCount = 10;

// The "%%" substitution table of the writer: a text that begins with "%%" and
// equals s1 of a pair is written as that pair's s2, while the switch is 1.
struct TStr2List {
  std::u16string s1, s2;
};
struct TextSubstitution {
  std::int32_t on = 0;
  std::vector<TStr2List> list;
};

}  // namespace plattero
