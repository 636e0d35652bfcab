// The catalogue of VM errors: every code with the exception name its text
// starts with, and every fixed message raised with a code. Tests compare these
// texts byte for byte; a raise site names an entry of VMERR_MESSAGES instead of
// writing a code and a text. Text built at run time is a prefix entry followed by
// a detail, or an entry whose {} holes are filled in order.
#pragma once

// X(name, code, exception name): a null name composes "UnknownException (CODE:n)".
#define VMERR_CODES(X)                                                                              \
    X(NullPointer, 1, "NullPointerException")                                                      \
    X(IndexOutOfBounds, 2, "IndexOutOfBoundsException")                                            \
    X(DivisionByZero, 3, "DivisionByZeroException")                                                \
    X(DataFormat, 4, "DataFormatException: ")                                                      \
    X(Range, 5, "RangeException")                                                                  \
    X(InvalidArgument, 6, "InvalidArgumentException")                                              \
    X(IO, 7, "IOException")                                                                        \
    X(Math, 8, "MathException")                                                                    \
    X(AssertionFailed, 9, "AssertionFailedException")                                              \
    X(VM, 10, "VMException")                                                                       \
    X(Halt, 11, nullptr)                                                                           \
    X(Exit, 12, nullptr)                                                                           \
    X(UnsupportedFeature, 13, "UnsupportedFeatureException")

// X(entry, code, text): the fixed messages, by the code they are raised with.
#define VMERR_MESSAGES(X)                                                                           \
    X(NullPointer, NullPointer, "NULL pointer")                                                    \
    X(DivisionByZero, DivisionByZero, "Division by zero.")                                         \
    X(OutOfMemory, InvalidArgument, "Out of memory")                                               \
    X(StringTooLarge, InvalidArgument, "String too large")                                         \
    X(VectorTooLarge, InvalidArgument, "Vector too large")                                         \
    X(BitmapTooLarge, InvalidArgument, "Bitmap too large")                                         \
    X(HashDataTooLarge, InvalidArgument, "Hash data too large")                                    \
    X(FilenameIsEmpty, InvalidArgument, "Filename is empty")                                       \
    X(PathIsEmpty, InvalidArgument, "Path is empty")                                               \
    X(SourceFilenameIsEmpty, InvalidArgument, "Source filename is empty")                          \
    X(TargetFilenameIsEmpty, InvalidArgument, "Target filename is empty")                          \
    X(SourcePathIsEmpty, InvalidArgument, "Source path is empty")                                  \
    X(TargetPathIsEmpty, InvalidArgument, "Target path is empty")                                  \
    X(FileIsEmpty, InvalidArgument, "File is empty")                                               \
    X(ByteArrayIsEmpty, InvalidArgument, "byte[] is empty")                                        \
    X(SizeIsZero, InvalidArgument, "size is zero")                                                 \
    X(UnknownFontSize, InvalidArgument, "Unknown font size")                                       \
    X(InvalidFontType, InvalidArgument, "Draw string: invalid font type")                          \
    X(CouldNotLoadImage, InvalidArgument, "Could not load image")                                  \
    X(NegativeWidth, InvalidArgument, "Width should be non-negative")                              \
    X(NegativeHeight, InvalidArgument, "Height should be non-negative")                            \
    X(SourceRectOutsideEmpty, InvalidArgument,                                                     \
      "Source rectangle ({}, {}, {}, {}) should be inside the bounds of the source bitmap, "       \
      "the bitmap is empty")                                                                       \
    X(SourceRectOutside, InvalidArgument,                                                          \
      "Source rectangle ({}, {}, {}, {}) should be inside the bounds of the source bitmap: "       \
      "({}, {})")                                                                                  \
    X(PositionOutsideEmpty, InvalidArgument,                                                       \
      "Position ({}, {}) is outside the bounds of the bitmap, the bitmap is empty")                \
    X(PositionOutside, InvalidArgument,                                                            \
      "Position ({}, {}) is outside the bounds of the bitmap: ({}, {})")                           \
    X(SetPixelOnEmpty, InvalidArgument,                                                            \
      "Position is outside the bounds of the bitmap: the bitmap is empty")                         \
    X(NegativeByteCount, InvalidArgument, "The number of bytes should be non-negative")            \
    X(NegativePosition, InvalidArgument, "Position is less than zero: ")                           \
    X(RangeFirstNegative, Range, "Invalid Range, first should be non-negative (first={})")         \
    X(RangeFirstBelowZero, Range, "Invalid Range, first should not be less than0, first =  ")      \
    X(RangeOutOfBounds, Range, "Invalid Range, range out of bounds: {} > {}")                      \
    X(RangeFirstLessThanZero, Range, "Invalid Range, first should not be less than 0, first = ")   \
    X(RangeFirstAboveSize, Range, "Invalid Range, first should not be more than {}, first = {}")   \
    X(CouldNotOpenFile, IO, "Could not open file: ")                                               \
    X(FileIsNotOpen, IO, "File is not open")                                                       \
    X(TraceTypeInRange, AssertionFailed, "expectedType < 255")                                     \
    X(HolderIsReader, AssertionFailed, "holder->TYPEID == FILE_READER_TYPE_ID")                    \
    X(HolderIsWriter, AssertionFailed, "holder->TYPEID == FILE_WRITER_TYPE_ID")                    \
    X(BadAddress, VM, "Bad VM address 0x")                                                         \
    X(StackOverflow, VM, "Stack overflow")                                                         \
    X(StackUnderflow, VM, "Stack underflow")                                                       \
    X(StackIndexOutOfRange, VM, "Stack index out of range")                                        \
    X(HandlerStackOverflow, VM, "Handler stack overflow")                                          \
    X(HandlerStackUnderflow, VM, "Handler stack underflow")                                        \
    X(InvalidWordCount, VM, "Invalid word count")                                                  \
    X(InvalidMethodDescriptor, VM, "Invalid method descriptor")                                    \
    X(InvalidFree, VM, "Invalid free")                                                             \
    X(InvalidTypeId, VM, "Invalid TYPEID")                                                         \
    X(InvalidObjectTypeId, VM, "Invalid object type ID")                                           \
    X(InvalidTypeIdOnBitmap, VM, "Invalid typeid on bitmap")                                       \
    X(InvalidBitmapHandle, VM, "Invalid bitmap handle")                                            \
    X(InvalidContainerBitmap, VM, "GraphicsContainer: invalid bitmap")                             \
    X(HeapCorrupted, VM, "Heap corrupted")                                                         \
    X(DllNotSupported, VM, "Dll not supported")                                                    \
    X(NoMachine, VM, "vm != 0")                                                                    \
    X(FloatInvalidOpcode, VM, "Float: invalid opcode: ")                                           \
    X(NoFonts, UnsupportedFeature, "No fonts")                                                     \
    X(InvalidYear, InvalidArgument, "Invalid year")                                                \
    X(InvalidMonth, InvalidArgument, "Invalid month")                                              \
    X(InvalidDay, InvalidArgument, "Invalid day")                                                  \
    X(InvalidHour, InvalidArgument, "Invalid hour")                                                \
    X(InvalidMinute, InvalidArgument, "Invalid minute")                                            \
    X(InvalidSecond, InvalidArgument, "Invalid second")                                            \
    X(InvalidTimezone, InvalidArgument, "Invalid timezone")
