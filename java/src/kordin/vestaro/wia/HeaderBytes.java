package kordin.vestaro.wia;

import java.io.Closeable;
import java.io.EOFException;
import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.SeekableByteChannel;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * The start of a file, read through a small buffer and never beyond a fixed number of
 * bytes: what a header reader skips is passed by moving the position, not read, so a
 * hostile file costs at most the bound however it is built.
 */
final class HeaderBytes implements Closeable {
    private final SeekableByteChannel channel;
    private final long limit;
    private final ByteBuffer buffer = ByteBuffer.allocate(4096).flip();
    /** Where in the file the next byte of the buffer lies. */
    private long offset;

    /**
     * Opens a file to read at most {@code limit} bytes from its start.
     *
     * @throws IOException when the file cannot be opened
     */
    HeaderBytes(Path file, long limit) throws IOException {
        this.channel = Files.newByteChannel(file);
        this.limit = limit;
    }

    /** The next byte, 0 to 255. */
    int readUnsignedByte() throws IOException {
        if (!buffer.hasRemaining()) {
            fill();
        }
        offset++;
        return buffer.get() & 0xFF;
    }

    /** The next two bytes as a big-endian number, 0 to 65535. */
    int readUnsignedShort() throws IOException {
        return readUnsignedByte() << 8 | readUnsignedByte();
    }

    /**
     * Fills {@code into} from {@code from} on; fewer bytes only at the end of the file.
     *
     * @return the index after the last byte read
     */
    int read(byte[] into, int from) throws IOException {
        int at = from;
        try {
            while (at < into.length) {
                into[at] = (byte) readUnsignedByte();
                at++;
            }
        } catch (EOFException end) {
            // The file is shorter: the caller tells from the count.
        }
        return at;
    }

    /** Passes over {@code count} bytes without reading them. */
    void skip(long count) throws IOException {
        if (count <= buffer.remaining()) {
            buffer.position(buffer.position() + (int) count);
            offset += count;
            return;
        }
        offset += count;
        if (offset > limit) {
            throw new LimitReached();
        }
        buffer.clear().flip();
        channel.position(offset);
    }

    private void fill() throws IOException {
        if (offset >= limit) {
            throw new LimitReached();
        }
        buffer.clear().limit((int) Math.min(buffer.capacity(), limit - offset));
        int got;
        do {
            got = channel.read(buffer);
        } while (got == 0);
        buffer.flip();
        if (got < 0) {
            throw new EOFException();
        }
    }

    @Override
    public void close() throws IOException {
        channel.close();
    }

    /** The header goes on beyond the bytes that may be read. */
    static final class LimitReached extends IOException {
        private static final long serialVersionUID = 1L;
    }
}
