package com.vexlo.runtime;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.tavrelium.runtime.launcher.FirstRun;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.PrintStream;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The first-run hook finds the marker the native launcher checked, {@code <install>/.tavrelium/firstrun},
 * whichever jar its classes come from.
 */
class FirstRunTest {

    private static final String[] PROPERTIES = {"java.class.path", "vexlo.moduleName", "vexlo.firstRun"};

    @TempDir
    Path root;

    private final String[] saved = new String[PROPERTIES.length];
    private final ByteArrayOutputStream err = new ByteArrayOutputStream();
    private PrintStream savedErr;

    @BeforeEach
    void saveState() {
        for (int i = 0; i < PROPERTIES.length; i++) {
            saved[i] = System.getProperty(PROPERTIES[i]);
        }
        System.clearProperty("vexlo.firstRun");
        savedErr = System.err;
        System.setErr(new PrintStream(err, true));
    }

    @AfterEach
    void restoreState() {
        System.setErr(savedErr);
        for (int i = 0; i < PROPERTIES.length; i++) {
            if (saved[i] == null) {
                System.clearProperty(PROPERTIES[i]);
            } else {
                System.setProperty(PROPERTIES[i], saved[i]);
            }
        }
    }

    /** An installation folder with the marker, the executable in its bin folder. */
    private Path install(String name) throws Exception {
        Path dir = Files.createDirectories(root.resolve(name));
        Files.createDirectories(dir.resolve(".tavrelium"));
        Files.createFile(dir.resolve(".tavrelium/firstrun"));
        Files.createDirectories(dir.resolve("bin"));
        return dir;
    }

    private static Path marker(Path installDir) {
        return installDir.resolve(".tavrelium/firstrun");
    }

    private static void runs(String classPath, Path executable) {
        System.setProperty("java.class.path", classPath);
        System.setProperty("vexlo.moduleName", executable.toString());
        assertFalse(ServiceRuntime.isFirstRun());
        assertTrue(FirstRun.firstRun());
        assertTrue(ServiceRuntime.isFirstRun());
    }

    /** The runtime classes come from another jar (this test's class path): the marker above the executable goes. */
    @Test
    void markerAboveTheExecutable() throws Exception {
        Path app = install("app");
        Path nested = Files.createDirectories(app.resolve("bin/tools"));
        runs(LauncherProcess.testFile("vexlo.test.runtimeJar"), nested.resolve("svc.exe"));
        assertFalse(Files.exists(marker(app)), err.toString());
    }

    /**
     * The class path entry the launcher adds for the installation folder wins over a marker above the
     * executable, and it holds even when the installation folder is no parent of the executable's.
     */
    @Test
    void markerBesideTheRuntimeJarEntryOfTheClassPath() throws Exception {
        Path installed = install("installed");
        Path other = install("other");
        String classPath = String.join(File.pathSeparator, root.resolve("lib/app.jar").toString(),
                installed.resolve(".tavrelium/tvlruntime.jar").toString());
        runs(classPath, other.resolve("bin/svc.exe"));
        assertFalse(Files.exists(marker(installed)), err.toString());
        assertTrue(Files.exists(marker(other)));
    }

    /** Loaded from tvlruntime.jar in the installation folder, as the launcher's class path has it. */
    @Test
    void classesFromTheInstalledRuntimeJar() throws Exception {
        Path tvlruntime = Paths.get(LauncherProcess.testFile("vexlo.test.tvlruntimeJar"));
        assertArrayEquals(Files.readAllBytes(Paths.get(LauncherProcess.testFile("vexlo.test.runtimeJar"))),
                Files.readAllBytes(tvlruntime));
        Path app = install("app");
        Path jar = Files.copy(tvlruntime, app.resolve(".tavrelium/tvlruntime.jar"));
        System.setProperty("java.class.path", jar.toString());
        System.clearProperty("vexlo.moduleName");
        try (URLClassLoader loader = new URLClassLoader(new URL[] {jar.toUri().toURL()}, null)) {
            assertTrue((Boolean) loader.loadClass(FirstRun.class.getName()).getMethod("firstRun").invoke(null));
        }
        assertFalse(Files.exists(marker(app)), err.toString());
        assertTrue(ServiceRuntime.isFirstRun());
    }

    /** A marker that is missing or cannot be removed is reported; the start still goes on. */
    @Test
    void missingOrStuckMarkerIsReported() throws Exception {
        Path app = install("app");
        Files.delete(marker(app));
        runs(root.resolve("lib/app.jar").toString(), app.resolve("bin/svc.exe"));
        assertTrue(err.toString().contains("no first-run marker found"), err.toString());

        // A non-empty folder cannot be removed.
        System.clearProperty("vexlo.firstRun");
        Files.createDirectories(marker(app).resolve("keep"));
        runs(root.resolve("lib/app.jar").toString(), app.resolve("bin/svc.exe"));
        assertTrue(Files.exists(marker(app)));
        assertTrue(err.toString().contains("cannot remove the first-run marker " + marker(app)), err.toString());
    }
}
