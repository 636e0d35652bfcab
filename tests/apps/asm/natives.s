; One function of every native group and extension by name, and calls by number only.
.identifier "all-natives-image-01"
.widths 4, 4, 4, 4, 4, 4, 4, 4, 4
.method "main", start, 0
.descriptor
    .lengths 0, 0, 0
.code
start:
    native ByteVector.set_copy
    native IntVector.set_copy
    native Int2Vector.set_copy
    native Int3Vector.set_copy
    native Int4Vector.set_copy
    native ObjectVector.set_copy
    native String.set_empty
    native Char.lower_into
    native Fixed.load
    native Long.set_zero
    native Color.set_white
    native Range.set_empty
    native Size.set_zero
    native Position.set_zero
    native Rectangle.set_zero
    native Graphics.draw_bitmap_at
    native Bitmap.create
    native Font.height
    native OutputStream.close
    native FileWriter.open
    native InputStream.close
    native FileReader.open
    native FileSystem.file_exists
    native Math.sin
    native Number.abs_byte
    native Encoder.to_utf8
    native DateTime.set_now
    native Debug.log
    native Screen.repaint
    native System.exit
    native Timer.add
    native Hash.new
    native KeyEvent.key_code
    native Float.from_fixed
    extcall Accelerometer.x
    extcall Location.new_request
    extcall AudioPlayer.load_file
    extcall AudioMixer.create
    extcall Torch.on
    extcall Maemo.exit_to_desktop
    native 9, 1      ; the Byte group has no functions: numbers only
    native 2, 7
    native 0, 0
    native 37, 1
    native String, 3 ; reserved number
    extcall 21, 1
    extcall Torch, 9
    ret 0, 1
