// Rimeflower: our declarations of the host interface.
//
// The published filter plug-in interface as a 64-bit host passes it. There is
// no vendor header in this project: every structure is declared here from
// the published layout (docs/host-interface.md lists the facts and where they
// come from) with fixed-width types, so that the layout is the same on
// Windows x64 and Linux x86-64, and every offset the module relies on is
// checked at compile time.
//
// Packing: FilterRecord and BigDocumentStruct use 4-byte packing (pointers
// sit on 4-byte boundaries); every other structure and procedure table uses
// natural alignment.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rf::host {

// ---- Primitive types ------------------------------------------------------

using OSErr = int16_t;
using Boolean = uint8_t;  // one byte, not the Win32 BOOL
using SPErr = int32_t;
using SPBoolean = int32_t;
using Fixed = int32_t;  // 16.16
using OSType = uint32_t;
using DescriptorKeyID = uint32_t;
using DescriptorTypeID = uint32_t;
using Ptr = char*;
using Handle = char**;  // opaque: only ever passed back to the host

struct PIPoint { int16_t v, h; };
struct PIRect { int16_t top, left, bottom, right; };
struct VPoint { int32_t v, h; };
struct VRect { int32_t top, left, bottom, right; };
struct RGBColor { uint16_t red, green, blue; };
struct PlugInMonitor { Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient; };

static_assert(sizeof(PIRect) == 8 && sizeof(VRect) == 16 && sizeof(RGBColor) == 6);
static_assert(sizeof(PlugInMonitor) == 40);

// ---- Selectors, results, modes -------------------------------------------

enum Selector : int16_t {
  kSelectorAbout = 0,
  kSelectorParameters = 1,
  kSelectorPrepare = 2,
  kSelectorStart = 3,
  kSelectorContinue = 4,
  kSelectorFinish = 5,
};

enum ImageMode : int16_t {
  kModeGrayScale = 1,
  kModeRGBColor = 3,
  kModeCMYKColor = 4,
  kModeRGB48 = 11,
  kModeCMYK64 = 13,
};

enum PlayInfo : int16_t {
  kPlugInDialogDontDisplay = 0,
  kPlugInDialogDisplay = 1,
  kPlugInDialogSilent = 2,
};
constexpr int16_t kPlugInDialogOptional = 0;  // recordInfo

// Colour spaces of the colour-space suite and colour services.
constexpr int16_t kColorSpaceRGB = 0;
constexpr int16_t kColorSpaceCMYK = 2;

// PICA suite names and the versions the module asks for.
constexpr const char* kActionDescriptorSuite = "df135115-c769-11d0-8079-00c04fd7ec47";
constexpr const char* kActionReferenceSuite = "df135117-c769-11d0-8079-00c04fd7ec47";
constexpr const char* kBasicActionControlSuite = "3eb7c480-8797-11d1-8da7-00c04fd5f7ee";
constexpr const char* kDescriptorRegistrySuite = "61e608b0-40fd-11d1-8da3-00c04fd5f7ee";
constexpr const char* kZStringSuite = "AS ZString Suite";
constexpr const char* kColorSpaceSuite = "Photoshop ColorSpace Suite for Plug-ins";
constexpr const char* kChannelPortsSuite = "Photoshop ChannelPorts Suite for Plug-ins";
constexpr const char* kPropertySuite = "Photoshop Property Suite for Plug-ins";
// The last-used values ask for version 3 of the descriptor suite and fall
// back to version 2, the one every host has; layer queries use version 2.
constexpr int32_t kActionDescriptorSuiteVersion = 3;
constexpr int32_t kActionDescriptorSuiteVersion2 = 2;
constexpr int32_t kActionReferenceSuiteVersion = 2;
constexpr int32_t kBasicActionControlSuiteVersion = 1;
constexpr int32_t kDescriptorRegistrySuiteVersion = 1;
constexpr int32_t kZStringSuiteVersion = 1;
constexpr int32_t kColorSpaceSuiteVersion = 1;
constexpr int32_t kChannelPortsSuiteVersion = 2;
constexpr int32_t kPropertySuiteVersion = 1;

constexpr SPErr kSPNoError = 0;
constexpr SPErr kSPSuiteNotFoundError = 0x53214664;  // 'S!Fd'

// The type codes of descriptor values the module writes and reads.
constexpr DescriptorTypeID kTypeInteger = 0x6C6F6E67;  // 'long'
constexpr DescriptorTypeID kTypeFloat = 0x646F7562;    // 'doub'
constexpr DescriptorTypeID kTypeBoolean = 0x626F6F6C;  // 'bool'
constexpr DescriptorTypeID kTypeText = 0x54455854;     // 'TEXT'

// Classes, enumerations and keys of the layer queries.
constexpr DescriptorTypeID kClassLayer = 0x4C797220;     // 'Lyr '
constexpr DescriptorTypeID kClassProperty = 0x50727072;  // 'Prpr'
constexpr DescriptorTypeID kTypeOrdinal = 0x4F72646E;    // 'Ordn'
constexpr DescriptorTypeID kEnumTarget = 0x54726774;     // 'Trgt'
constexpr DescriptorKeyID kKeyName = 0x4E6D2020;         // 'Nm  '
constexpr DescriptorKeyID kKeyVisible = 0x5673626C;      // 'Vsbl'
constexpr DescriptorKeyID kKeyLayerID = 0x4C797249;      // 'LyrI'

// Reference forms a host answers from GetForm.
constexpr DescriptorTypeID kFormEnumerated = 0x456E6D72;  // 'Enmr'
constexpr DescriptorTypeID kFormIdentifier = 0x49646E74;  // 'Idnt'
constexpr DescriptorTypeID kFormProperty = 0x70726F70;    // 'prop'

// Padding requests (inputPadding, outputPadding, maskPadding); 0..255 is a
// fill value.
constexpr int16_t kWantsEdgeReplication = -1;
constexpr int16_t kDoesNotWantPadding = -2;
constexpr int16_t kWantsErrorOnBoundsException = -3;

// samplingSupport.
constexpr char kHostSupportsIntegralSampling = 1;

// colorServices selectors.
constexpr int16_t kColorServicesChooseColor = 0;

// ReadChannelDesc.channelType of a layer's transparency.
constexpr int16_t kChannelTypeTransparency = 16;

// ---- Callback function types ---------------------------------------------

using TestAbortProc = Boolean (*)();
using ProgressProc = void (*)(int32_t done, int32_t total);
using AdvanceStateProc = OSErr (*)();
using HostProc = void (*)(int16_t selector, intptr_t* data);
using GetPropertyProc = OSErr (*)(OSType signature, OSType key, int32_t index, intptr_t* simpleProperty,
                                  Handle* complexProperty);
using SetPropertyProc = OSErr (*)(OSType signature, OSType key, int32_t index, intptr_t simpleProperty,
                                  Handle complexProperty);

struct ColorServicesInfo;
using ColorServicesProc = OSErr (*)(ColorServicesInfo* info);

// ---- Procedure tables (natural alignment) --------------------------------

struct HandleProcs {
  int16_t handleProcsVersion;
  int16_t numHandleProcs;
  Handle (*newProc)(int32_t size);
  void (*disposeProc)(Handle h);
  int32_t (*getSizeProc)(Handle h);
  OSErr (*setSizeProc)(Handle h, int32_t newSize);
  Ptr (*lockProc)(Handle h, Boolean moveHigh);
  void (*unlockProc)(Handle h);
  void (*recoverSpaceProc)(int32_t size);
  void (*disposeRegularHandleProc)(Handle h);
};
static_assert(offsetof(HandleProcs, newProc) == 8);
static_assert(offsetof(HandleProcs, lockProc) == 40);
static_assert(offsetof(HandleProcs, unlockProc) == 48);
static_assert(sizeof(HandleProcs) == 72);

struct PropertyProcs {
  int16_t propertyProcsVersion;
  int16_t numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};
static_assert(offsetof(PropertyProcs, getPropertyProc) == 8 && sizeof(PropertyProcs) == 24);

using PIReadDescriptor = void*;
using PIWriteDescriptor = void*;

struct ReadDescriptorProcs {
  int16_t readDescriptorProcsVersion;
  int16_t numReadDescriptorProcs;
  PIReadDescriptor (*openReadDescriptorProc)(Handle descriptor, DescriptorKeyID* keyArray);
  OSErr (*closeReadDescriptorProc)(PIReadDescriptor token);
  Boolean (*getKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags);
  OSErr (*getIntegerProc)(PIReadDescriptor token, int32_t* value);
  OSErr (*getFloatProc)(PIReadDescriptor token, double* value);
  void* getUnitFloatProc;
  void* getBooleanProc;
  void* getTextProc;
  void* getAliasProc;
  void* getEnumeratedProc;
  void* getClassProc;
  void* getSimpleReferenceProc;
  void* getObjectProc;
  void* getCountProc;
  void* getStringProc;
  void* getPinnedIntegerProc;
  void* getPinnedFloatProc;
  void* getPinnedUnitFloatProc;
};
static_assert(offsetof(ReadDescriptorProcs, openReadDescriptorProc) == 8);
static_assert(offsetof(ReadDescriptorProcs, getKeyProc) == 24);
static_assert(offsetof(ReadDescriptorProcs, getFloatProc) == 40);
static_assert(sizeof(ReadDescriptorProcs) == 152);

struct WriteDescriptorProcs {
  int16_t writeDescriptorProcsVersion;
  int16_t numWriteDescriptorProcs;
  PIWriteDescriptor (*openWriteDescriptorProc)();
  OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor token, Handle* newDescriptor);
  OSErr (*putIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32_t value);
  OSErr (*putFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);
  void* putUnitFloatProc;
  void* putBooleanProc;
  void* putTextProc;
  void* putAliasProc;
  void* putEnumeratedProc;
  void* putClassProc;
  void* putSimpleReferenceProc;
  void* putObjectProc;
  void* putCountProc;
  void* putStringProc;
  void* putScopedClassProc;
  void* putScopedObjectProc;
};
static_assert(offsetof(WriteDescriptorProcs, putFloatProc) == 32);
static_assert(sizeof(WriteDescriptorProcs) == 136);

struct PIDescriptorParameters {
  int16_t descriptorParametersVersion;
  int16_t playInfo;
  int16_t recordInfo;
  Handle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;  // write before read, as every host has it
  ReadDescriptorProcs* readDescriptorProcs;
};
static_assert(offsetof(PIDescriptorParameters, descriptor) == 8);
static_assert(offsetof(PIDescriptorParameters, writeDescriptorProcs) == 16);
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) == 24);
static_assert(sizeof(PIDescriptorParameters) == 32);

struct PSScaling { VRect sourceRect, destinationRect; };
struct PixelMemoryDesc {
  void* data;
  int32_t rowBits;
  int32_t colBits;
  int32_t bitOffset;
  int32_t depth;
};
static_assert(sizeof(PixelMemoryDesc) == 24 && sizeof(PSScaling) == 32);

using PIChannelPort = void*;
struct ChannelPortProcs {
  int16_t channelPortProcsVersion;
  int16_t numChannelPortProcs;
  OSErr (*readPixelsProc)(PIChannelPort port, const PSScaling* scaling, const VRect* writeRect,
                          const PixelMemoryDesc* destination, VRect* wroteRect);
  OSErr (*writeBasePixelsProc)(PIChannelPort port, const VRect* writeRect, const PixelMemoryDesc* source);
  OSErr (*readPortForWritePortProc)(PIChannelPort* readPort, PIChannelPort writePort);
};
static_assert(offsetof(ChannelPortProcs, readPixelsProc) == 8 && sizeof(ChannelPortProcs) == 32);

// ---- The document description (natural alignment) -------------------------
//
// Channel, layer and document records carry a version range: a reader checks
// `minVersion` and reads no field newer than `maxVersion`.

struct ReadChannelDesc {
  int32_t minVersion;
  int32_t maxVersion;
  ReadChannelDesc* next;
  PIChannelPort port;
  VRect bounds;
  int32_t depth;
  VPoint tileSize;
  VPoint tileOrigin;
  Boolean target;
  Boolean shown;
  int16_t channelType;
  void* contextInfo;
  const char* name;
  PIChannelPort writePort;       // version 1
  uint32_t alphaID;              // version 2
  const uint16_t* unicodeName;   // version 3
  Boolean isEnabled;             // version 4
  VRect limitBounds;             // version 5
};
static_assert(offsetof(ReadChannelDesc, next) == 8 && offsetof(ReadChannelDesc, port) == 16);
static_assert(offsetof(ReadChannelDesc, bounds) == 24 && offsetof(ReadChannelDesc, depth) == 40);
static_assert(offsetof(ReadChannelDesc, target) == 60 && offsetof(ReadChannelDesc, channelType) == 62);
static_assert(offsetof(ReadChannelDesc, name) == 72 && offsetof(ReadChannelDesc, alphaID) == 88);
static_assert(offsetof(ReadChannelDesc, unicodeName) == 96 && offsetof(ReadChannelDesc, limitBounds) == 108);
static_assert(sizeof(ReadChannelDesc) == 128);

struct ReadLayerDesc {
  int32_t minVersion;
  int32_t maxVersion;
  ReadLayerDesc* next;
  ReadChannelDesc* compositeChannelsList;
  ReadChannelDesc* transparency;
  ReadChannelDesc* layerMask;
  uint32_t sheetID;
  const char* name;
  Boolean isPixelBased;
  const uint16_t* unicodeName;  // version 1
  Boolean isVisible;            // version 2
  Boolean isAdjustor;
  Boolean isContentGenerator;
  Boolean isRendered;
  uint8_t opacity;
  uint8_t fillOpacity;
  uint32_t blendMode;
  ReadChannelDesc* vectorMask;
  ReadChannelDesc* smartFilterMask;  // version 3
};
static_assert(offsetof(ReadLayerDesc, next) == 8 && offsetof(ReadLayerDesc, compositeChannelsList) == 16);
static_assert(offsetof(ReadLayerDesc, transparency) == 24 && offsetof(ReadLayerDesc, sheetID) == 40);
static_assert(offsetof(ReadLayerDesc, name) == 48 && offsetof(ReadLayerDesc, isPixelBased) == 56);
static_assert(offsetof(ReadLayerDesc, unicodeName) == 64 && offsetof(ReadLayerDesc, isVisible) == 72);
static_assert(offsetof(ReadLayerDesc, opacity) == 76 && offsetof(ReadLayerDesc, blendMode) == 80);
static_assert(offsetof(ReadLayerDesc, vectorMask) == 88 && sizeof(ReadLayerDesc) == 104);

struct ReadImageDocumentDesc {
  int32_t minVersion;
  int32_t maxVersion;
  int32_t imageMode;
  int32_t depth;
  VRect bounds;
  Fixed hResolution;
  Fixed vResolution;
  uint8_t redLUT[256];
  uint8_t greenLUT[256];
  uint8_t blueLUT[256];
  ReadChannelDesc* targetCompositeChannels;
  ReadChannelDesc* targetTransparency;
  ReadChannelDesc* targetLayerMask;
  ReadChannelDesc* mergedCompositeChannels;
  ReadChannelDesc* mergedTransparency;
  ReadChannelDesc* alphaChannels;
  ReadChannelDesc* selection;
  void* fileSpec;                   // version 1
  ReadLayerDesc* layersDescriptor;  // version 2
  int32_t documentType;
  ReadImageDocumentDesc* next;
  void* iCCprofileData;             // version 3
  int32_t iCCprofileSize;
  int32_t compositeChannelCount;
  int32_t layerCount;
  int32_t alphaChannelCount;
  ReadChannelDesc* targetSmartFilterMask;  // version 4
  void* fileSpecW;                         // version 5
  void* fileSpecX;                         // version 6
};
static_assert(offsetof(ReadImageDocumentDesc, imageMode) == 8 && offsetof(ReadImageDocumentDesc, bounds) == 16);
static_assert(offsetof(ReadImageDocumentDesc, targetCompositeChannels) == 808);
static_assert(offsetof(ReadImageDocumentDesc, targetTransparency) == 816);
static_assert(offsetof(ReadImageDocumentDesc, mergedCompositeChannels) == 832);
static_assert(offsetof(ReadImageDocumentDesc, layersDescriptor) == 872);
static_assert(offsetof(ReadImageDocumentDesc, next) == 888);
static_assert(offsetof(ReadImageDocumentDesc, layerCount) == 912);
static_assert(sizeof(ReadImageDocumentDesc) == 944);

struct ColorServicesInfo {
  int32_t infoSize;
  int16_t selector;
  int16_t sourceSpace;
  int16_t resultSpace;
  Boolean resultGamutInfoValid;
  Boolean resultInGamut;
  void* reservedSourceSpaceInfo;
  void* reservedResultSpaceInfo;
  int16_t colorComponents[4];
  void* reserved;
  union {
    unsigned char* pickerPrompt;  // Str255*
    PIPoint* globalSamplePoint;
    int32_t specialColorID;
  } selectorParameter;
};
static_assert(offsetof(ColorServicesInfo, selector) == 4 && offsetof(ColorServicesInfo, resultSpace) == 8);
static_assert(offsetof(ColorServicesInfo, colorComponents) == 32 && sizeof(ColorServicesInfo) == 56);
static_assert(offsetof(ColorServicesInfo, selectorParameter) == 48);

// ---- PICA suites (arrays of function pointers) ---------------------------

struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, int32_t version);
  SPBoolean (*IsEqual)(const char* token1, const char* token2);
  SPErr (*AllocateBlock)(size_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newBlock);
  SPErr (*Undefined)();
};
static_assert(sizeof(SPBasicSuite) == 56);

using PIActionDescriptor = void*;
using PIActionReference = void*;
using ASZString = void*;

// Action descriptor suite: version 2 has 46 functions, version 3 adds the
// last two. Only the functions the module calls carry their signature; the
// rest keep their slot.
struct ActionDescriptorProcs {
  OSErr (*Make)(PIActionDescriptor* descriptor);
  OSErr (*Free)(PIActionDescriptor descriptor);
  OSErr (*GetType)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type);
  void* GetKey;
  OSErr (*HasKey)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* hasKey);
  void* GetCount;
  void* IsEqual;
  void* Erase;
  void* Clear;
  OSErr (*PutInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t value);
  OSErr (*PutFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double value);
  void* PutUnitFloat;
  void* PutString;
  void* PutBoolean;
  void* PutList;
  void* PutObject;
  void* PutGlobalObject;
  void* PutEnumerated;
  void* PutReference;
  void* PutClass;
  void* PutGlobalClass;
  void* PutAlias;
  OSErr (*GetInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t* value);
  OSErr (*GetFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double* value);
  void* GetUnitFloat;
  OSErr (*GetStringLength)(PIActionDescriptor descriptor, DescriptorKeyID key, uint32_t* length);
  OSErr (*GetString)(PIActionDescriptor descriptor, DescriptorKeyID key, char* text, uint32_t maxLength);
  OSErr (*GetBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* value);
  void* GetList;
  void* GetObject;
  void* GetGlobalObject;
  void* GetEnumerated;
  void* GetReference;
  void* GetClass;
  void* GetGlobalClass;
  void* GetAlias;
  void* HasKeys;
  void* PutIntegers;
  void* GetIntegers;
  void* AsHandle;
  void* HandleToDescriptor;
  void* PutZString;
  OSErr (*GetZString)(PIActionDescriptor descriptor, DescriptorKeyID key, ASZString* text);
  void* PutData;
  void* GetDataLength;
  void* GetData;
  void* PutInteger64;  // version 3
  void* GetInteger64;  // version 3
};
static_assert(offsetof(ActionDescriptorProcs, HasKey) == 32);
static_assert(offsetof(ActionDescriptorProcs, PutInteger) == 72);
static_assert(offsetof(ActionDescriptorProcs, PutFloat) == 80);
static_assert(offsetof(ActionDescriptorProcs, GetInteger) == 176);
static_assert(offsetof(ActionDescriptorProcs, GetFloat) == 184);
static_assert(offsetof(ActionDescriptorProcs, GetStringLength) == 200);
static_assert(offsetof(ActionDescriptorProcs, GetString) == 208);
static_assert(offsetof(ActionDescriptorProcs, GetBoolean) == 216);
static_assert(offsetof(ActionDescriptorProcs, GetZString) == 336);
static_assert(sizeof(ActionDescriptorProcs) == 48 * 8);

// Action reference suite, version 2 (19 functions).
struct ActionReferenceProcs {
  OSErr (*Make)(PIActionReference* reference);
  OSErr (*Free)(PIActionReference reference);
  OSErr (*GetForm)(PIActionReference reference, DescriptorTypeID* form);
  OSErr (*GetDesiredClass)(PIActionReference reference, DescriptorTypeID* desiredClass);
  OSErr (*PutName)(PIActionReference reference, DescriptorTypeID desiredClass, const char* name);
  OSErr (*PutIndex)(PIActionReference reference, DescriptorTypeID desiredClass, uint32_t index);
  OSErr (*PutIdentifier)(PIActionReference reference, DescriptorTypeID desiredClass, uint32_t identifier);
  void* PutOffset;
  OSErr (*PutEnumerated)(PIActionReference reference, DescriptorTypeID desiredClass, DescriptorTypeID type,
                         DescriptorTypeID value);
  OSErr (*PutProperty)(PIActionReference reference, DescriptorTypeID desiredClass, DescriptorKeyID key);
  void* PutClass;
  void* GetNameLength;
  void* GetName;
  void* GetIndex;
  OSErr (*GetIdentifier)(PIActionReference reference, uint32_t* identifier);
  void* GetOffset;
  OSErr (*GetEnumerated)(PIActionReference reference, DescriptorTypeID* type, DescriptorTypeID* value);
  OSErr (*GetProperty)(PIActionReference reference, DescriptorKeyID* key);
  void* GetContainer;
};
static_assert(offsetof(ActionReferenceProcs, PutIdentifier) == 48);
static_assert(offsetof(ActionReferenceProcs, PutEnumerated) == 64);
static_assert(offsetof(ActionReferenceProcs, PutProperty) == 72);
static_assert(offsetof(ActionReferenceProcs, GetIdentifier) == 112);
static_assert(sizeof(ActionReferenceProcs) == 19 * 8);

// Basic action control suite, versions 1 and 2: `Get` evaluates a reference
// into a new descriptor the caller frees.
struct BasicActionControlProcs {
  OSErr (*Get)(PIActionDescriptor* result, PIActionReference reference);
  void* StringIDToTypeID;
  void* TypeIDToStringID;
  void* MakeStringAlias;
};
static_assert(sizeof(BasicActionControlProcs) == 32);

// AS ZString suite, version 1 (23 functions): the host's reference-counted
// Unicode strings. ASErr is 32 bits, ASBoolean a 4-byte int on Windows.
struct ZStringProcs {
  void* MakeFromUnicode;
  void* MakeFromCString;
  void* MakeFromPascalString;
  void* MakeRomanizationOfInteger;
  void* MakeRomanizationOfFixed;
  void* MakeRomanizationOfDouble;
  void* GetEmpty;
  void* Copy;
  void* Replace;
  void* TrimEllipsis;
  void* TrimSpaces;
  void* RemoveAccelerators;
  int32_t (*AddRef)(ASZString text);
  int32_t (*Release)(ASZString text);
  void* IsAllWhiteSpace;
  void* IsEmpty;
  void* WillReplace;
  uint32_t (*LengthAsUnicodeCString)(ASZString text);
  int32_t (*AsUnicodeCString)(ASZString text, uint16_t* buffer, uint32_t bufferUnits, int32_t checkSize);
  void* LengthAsCString;
  void* AsCString;
  void* LengthAsPascalString;
  void* AsPascalString;
};
static_assert(offsetof(ZStringProcs, Release) == 104 && offsetof(ZStringProcs, LengthAsUnicodeCString) == 136);
static_assert(offsetof(ZStringProcs, AsUnicodeCString) == 144 && sizeof(ZStringProcs) == 23 * 8);

// "Photoshop ChannelPorts Suite for Plug-ins", version 2 (15 functions).
struct ChannelPortsSuiteProcs {
  SPErr (*CountLevels)(PIChannelPort port, int32_t* count);
  SPErr (*GetDepth)(PIChannelPort port, int32_t level, int32_t* depth);
  SPErr (*GetDataBounds)(PIChannelPort port, int32_t level, VRect* bounds);
  SPErr (*GetWriteLimit)(PIChannelPort port, int32_t level, VRect* writeBounds);
  SPErr (*GetTilingGrid)(PIChannelPort port, int32_t level, VPoint* tileOrigin, VPoint* tileSize);
  void* GetSupportRect;
  void* GetDependentRect;
  SPErr (*CanRead)(PIChannelPort port, Boolean* canRead);
  SPErr (*CanWrite)(PIChannelPort port, Boolean* canWrite);
  SPErr (*ReadPixelsFromLevel)(PIChannelPort port, int32_t level, VRect* bounds, const PixelMemoryDesc* destination);
  void* WritePixelsToBaseLevel;
  void* ReadScaledPixels;
  void* FindSourceForScaledRead;
  void* New;
  void* Dispose;
};
static_assert(offsetof(ChannelPortsSuiteProcs, CanRead) == 56);
static_assert(offsetof(ChannelPortsSuiteProcs, ReadPixelsFromLevel) == 72);
static_assert(sizeof(ChannelPortsSuiteProcs) == 15 * 8);

struct DescriptorRegistryProcs {
  OSErr (*Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
  OSErr (*Erase)(const char* key);
  OSErr (*Get)(const char* key, PIActionDescriptor* descriptor);
};
static_assert(sizeof(DescriptorRegistryProcs) == 24);

using Color8 = uint8_t[4];  // RGB in bytes 1..3; CMYK in bytes 0..3
struct ColorSpaceProcs {
  void* Make;
  void* Delete;
  void* StuffComponents;
  void* ExtractComponents;
  void* StuffXYZ;
  void* ExtractXYZ;
  SPErr (*Convert8)(int16_t inputSpace, int16_t outputSpace, Color8* colors, int16_t count);
  void* Convert16;
  void* GetNativeSpace;
  void* IsBookColor;
  void* ExtractColorName;
  void* PickColor;
  void* Convert8to16;
  void* Convert16to8;
  void* ConvertToMonitorRGB;
};
static_assert(offsetof(ColorSpaceProcs, Convert8) == 48 && sizeof(ColorSpaceProcs) == 15 * 8);

// ---- Records passed to the entry point -----------------------------------

struct PlatformData {
  intptr_t hwnd;
};

struct AboutRecord {
  void* platformData;  // PlatformData*
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  char reserved[244];
};
static_assert(offsetof(AboutRecord, sSPBasic) == 8 && sizeof(AboutRecord) == 272);

#pragma pack(push, 4)

struct BigDocumentStruct {
  int32_t PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect filterRect32;
  VRect inRect32;
  VRect outRect32;
  VRect maskRect32;
  VPoint floatCoord32;
  VPoint wholeSize32;
};

struct FilterRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;
  PIPoint imageSize;
  int16_t planes;
  PIRect filterRect;
  RGBColor background;
  RGBColor foreground;
  int32_t maxSpace;
  int32_t bufferSpace;
  PIRect inRect;
  int16_t inLoPlane;
  int16_t inHiPlane;
  PIRect outRect;
  int16_t outLoPlane;
  int16_t outHiPlane;
  void* inData;
  int32_t inRowBytes;
  void* outData;
  int32_t outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  PIRect maskRect;
  void* maskData;
  int32_t maskRowBytes;
  uint8_t backColor[4];
  uint8_t foreColor[4];
  OSType hostSig;
  HostProc hostProc;
  int16_t imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  PIPoint floatCoord;
  PIPoint wholeSize;
  PlugInMonitor monitor;
  PlatformData* platformData;
  void* bufferProcs;
  void* resourceProcs;
  void* processEvent;
  void* displayPixels;
  HandleProcs* handleProcs;
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16_t wantLayout;
  int16_t filterCase;
  int16_t dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  GetPropertyProc getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16_t inputPadding;
  int16_t outputPadding;
  int16_t maskPadding;
  char samplingSupport;
  char reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  ColorServicesProc colorServices;
  int16_t inLayerPlanes;
  int16_t inTransparencyMask;
  int16_t inLayerMasks;
  int16_t inInvertedLayerMasks;
  int16_t inNonLayerPlanes;
  int16_t outLayerPlanes;
  int16_t outTransparencyMask;
  int16_t outLayerMasks;
  int16_t outInvertedLayerMasks;
  int16_t outNonLayerPlanes;
  int16_t absLayerPlanes;
  int16_t absTransparencyMask;
  int16_t absLayerMasks;
  int16_t absInvertedLayerMasks;
  int16_t absNonLayerPlanes;
  int16_t inPreDummyPlanes;
  int16_t inPostDummyPlanes;
  int16_t outPreDummyPlanes;
  int16_t outPostDummyPlanes;
  int32_t inColumnBytes;
  int32_t inPlaneBytes;
  int32_t outColumnBytes;
  int32_t outPlaneBytes;
  void* imageServicesProcs;
  PropertyProcs* propertyProcs;
  int16_t inTileHeight;
  int16_t inTileWidth;
  PIPoint inTileOrigin;
  int16_t absTileHeight;
  int16_t absTileWidth;
  PIPoint absTileOrigin;
  int16_t outTileHeight;
  int16_t outTileWidth;
  PIPoint outTileOrigin;
  int16_t maskTileHeight;
  int16_t maskTileWidth;
  PIPoint maskTileOrigin;
  PIDescriptorParameters* descriptorParameters;
  unsigned char* errorString;  // Str255*
  ChannelPortProcs* channelPortProcs;
  ReadImageDocumentDesc* documentInfo;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  int32_t depth;
  Handle iCCprofileData;
  int32_t iCCprofileSize;
  int32_t canUseICCProfiles;
  // Everything below exists only in newer hosts; older ones leave zeros.
  int32_t hasImageScrap;
  BigDocumentStruct* bigDocumentData;
  void* input3DScene;
  void* output3DScene;
  Boolean createNewLayer;
  Handle iCCWorkingProfileData;
  int32_t iCCWorkingProfileSize;
  int64_t bufferSpace64;
  int64_t maxSpace64;
  Boolean allowOverrangeColors;
  char reserved[45];
};

#pragma pack(pop)

static_assert(sizeof(BigDocumentStruct) == 92);
static_assert(offsetof(BigDocumentStruct, filterRect32) == 12);
static_assert(offsetof(BigDocumentStruct, inRect32) == 28);
static_assert(offsetof(BigDocumentStruct, outRect32) == 44);
static_assert(offsetof(BigDocumentStruct, maskRect32) == 60);
static_assert(offsetof(BigDocumentStruct, wholeSize32) == 84);

static_assert(offsetof(FilterRecord, abortProc) == 4);
static_assert(offsetof(FilterRecord, progressProc) == 12);
static_assert(offsetof(FilterRecord, parameters) == 20);
static_assert(offsetof(FilterRecord, imageSize) == 28);
static_assert(offsetof(FilterRecord, planes) == 32);
static_assert(offsetof(FilterRecord, filterRect) == 34);
static_assert(offsetof(FilterRecord, maxSpace) == 56);
static_assert(offsetof(FilterRecord, bufferSpace) == 60);
static_assert(offsetof(FilterRecord, inRect) == 64);
static_assert(offsetof(FilterRecord, inLoPlane) == 72 && offsetof(FilterRecord, inHiPlane) == 74);
static_assert(offsetof(FilterRecord, outRect) == 76);
static_assert(offsetof(FilterRecord, outLoPlane) == 84);
static_assert(offsetof(FilterRecord, inData) == 88);
static_assert(offsetof(FilterRecord, inRowBytes) == 96);
static_assert(offsetof(FilterRecord, outData) == 100);
static_assert(offsetof(FilterRecord, outRowBytes) == 108);
static_assert(offsetof(FilterRecord, haveMask) == 113);
static_assert(offsetof(FilterRecord, maskRect) == 116);
static_assert(offsetof(FilterRecord, maskData) == 124);
static_assert(offsetof(FilterRecord, maskRowBytes) == 132);
static_assert(offsetof(FilterRecord, hostSig) == 144);
static_assert(offsetof(FilterRecord, imageMode) == 156);
static_assert(offsetof(FilterRecord, wholeSize) == 172);
static_assert(offsetof(FilterRecord, platformData) == 216);
static_assert(offsetof(FilterRecord, handleProcs) == 256);
static_assert(offsetof(FilterRecord, advanceState) == 280);
static_assert(offsetof(FilterRecord, getPropertyObsolete) == 292);
static_assert(offsetof(FilterRecord, supportsPadding) == 301);
static_assert(offsetof(FilterRecord, inputPadding) == 302);
static_assert(offsetof(FilterRecord, outputPadding) == 304);
static_assert(offsetof(FilterRecord, maskPadding) == 306);
static_assert(offsetof(FilterRecord, samplingSupport) == 308);
static_assert(offsetof(FilterRecord, inputRate) == 312);
static_assert(offsetof(FilterRecord, maskRate) == 316);
static_assert(offsetof(FilterRecord, colorServices) == 320);
static_assert(offsetof(FilterRecord, inColumnBytes) == 368 && offsetof(FilterRecord, inPlaneBytes) == 372);
static_assert(offsetof(FilterRecord, propertyProcs) == 392);
static_assert(offsetof(FilterRecord, descriptorParameters) == 432);
static_assert(offsetof(FilterRecord, channelPortProcs) == 448);
static_assert(offsetof(FilterRecord, documentInfo) == 456);
static_assert(offsetof(FilterRecord, sSPBasic) == 464);
static_assert(offsetof(FilterRecord, depth) == 480);
static_assert(offsetof(FilterRecord, canUseICCProfiles) == 496);
static_assert(offsetof(FilterRecord, bigDocumentData) == 504);
static_assert(offsetof(FilterRecord, bufferSpace64) == 544);
static_assert(offsetof(FilterRecord, maxSpace64) == 552);
static_assert(sizeof(FilterRecord) == 608);

// The entry point's signature.
using PluginMainProc = void (*)(int16_t selector, void* record, intptr_t* data, int16_t* result);

// The scope of the module's scripting terminology, also the key of its
// last-used values in the descriptor registry.
constexpr const char* kRegistryKey = "d9543b0c-3c91-11d4-97bc-00b004052017";

}  // namespace rf::host
