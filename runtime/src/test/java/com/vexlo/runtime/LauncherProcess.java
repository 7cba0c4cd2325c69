package com.vexlo.runtime;

import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.TimeUnit;

/** A launcher class run in its own JVM with piped standard input, as the native side runs it. */
final class LauncherProcess implements AutoCloseable {

    static final String VEXLO = "com.vexlo.runtime.WinLauncher";
    static final String TAVRELIUM = "com.tavrelium.runtime.launcher.WinLauncher";
    private static final long WAIT_NANOS = TimeUnit.SECONDS.toNanos(20);

    final Process process;
    final Path stdout;
    final Path stderr;

    /** Starts {@code launcher} with the fixed values "false", main class, logs, append, then {@code rest}. */
    LauncherProcess(Path dir, String launcher, String jvmOption, String mainClass, String errorLog,
            String outputLog, String append, String... rest) throws IOException {
        this(dir, launcher, Arrays.asList(jvmOption), mainClass, errorLog, outputLog, append, rest);
    }

    LauncherProcess(Path dir, String launcher, List<String> jvmOptions, String mainClass, String errorLog,
            String outputLog, String append, String... rest) throws IOException {
        List<String> command = new ArrayList<>();
        command.add(Paths.get(System.getProperty("java.home"), "bin", "java").toString());
        command.addAll(jvmOptions);
        command.addAll(Arrays.asList("-cp",
                testFile("vexlo.test.runtimeJar") + File.pathSeparator + testFile("vexlo.test.appJar"),
                launcher, "false", mainClass, errorLog, outputLog, append));
        command.addAll(Arrays.asList(rest));
        stdout = Files.createTempFile(dir, "stdout", ".txt");
        stderr = Files.createTempFile(dir, "stderr", ".txt");
        // In the test's folder, so that a stray file the launcher class creates is seen and removed.
        process = new ProcessBuilder(command).directory(dir.toFile()).redirectOutput(stdout.toFile())
                .redirectError(stderr.toFile()).start();
    }

    static String testFile(String property) {
        String value = System.getProperty(property);
        assertNotNull(value, "system property " + property);
        return value;
    }

    void send(String line) throws IOException {
        process.getOutputStream().write((line + "\n").getBytes(StandardCharsets.US_ASCII));
        process.getOutputStream().flush();
    }

    void closeInput() throws IOException {
        process.getOutputStream().close();
    }

    int awaitExit() throws Exception {
        if (!process.waitFor(WAIT_NANOS, TimeUnit.NANOSECONDS)) {
            fail("still running; stdout:\n" + read(stdout) + "\nstderr:\n" + read(stderr));
        }
        return process.exitValue();
    }

    /** Waits until {@code file} contains {@code text}. */
    void awaitText(Path file, String text) throws Exception {
        for (long deadline = System.nanoTime() + WAIT_NANOS; !read(file).contains(text); Thread.sleep(20)) {
            if (System.nanoTime() > deadline || !process.isAlive() && !read(file).contains(text)) {
                fail("no '" + text + "' in " + file + "; stdout:\n" + read(stdout) + "\nstderr:\n" + read(stderr));
            }
        }
    }

    static String read(Path file) throws IOException {
        return Files.isRegularFile(file) ? new String(Files.readAllBytes(file), StandardCharsets.UTF_8) : "";
    }

    @Override
    public void close() {
        process.destroyForcibly();
    }
}
