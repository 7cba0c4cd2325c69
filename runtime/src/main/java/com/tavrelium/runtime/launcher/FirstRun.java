package com.tavrelium.runtime.launcher;

import java.io.File;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Pattern;

/**
 * The first-run hook of the tavrelium runtime layout.
 *
 * <p>An installer marks a fresh installation with the file {@code .tavrelium\firstrun} in the
 * installation folder (the launcher's configuration names that folder relative to the executable's
 * folder, typically its parent). The native launcher calls {@link #firstRun()} only while that marker
 * exists, before the application starts. The hook makes the first run happen once: it removes the
 * marker and sets the system property {@code vexlo.firstRun=true}, which the application reads
 * through {@code com.vexlo.runtime.ServiceRuntime.isFirstRun()} to do its own one-time set-up.
 *
 * <p>The marker is the first of these that exists:
 * <ol>
 *   <li>{@code firstrun} beside a class path entry {@code <folder>\.tavrelium\tvlruntime.jar}: the
 *       launcher puts that entry on the class path from the same installation folder in which it
 *       checked the marker, whichever jar the runtime classes are actually loaded from;
 *   <li>{@code .tavrelium\firstrun} in the launcher executable's folder (system property
 *       {@code vexlo.moduleName}) or the nearest folder above it that has one.
 * </ol>
 *
 * <p>It always lets the start go on: a marker that cannot be found or removed is reported on
 * System.err, and the next start counts as a first run again.
 */
public final class FirstRun {

    /** Folder of the marker (and of tvlruntime.jar) in the installation folder. */
    public static final String MARKER_FOLDER = ".tavrelium";
    /** File name of the marker in {@link #MARKER_FOLDER}. */
    public static final String MARKER_NAME = "firstrun";
    static final String RUNTIME_JAR = "tvlruntime.jar";

    private FirstRun() {
    }

    /** Removes the first-run marker and flags the first run; returns true so the start goes on. */
    public static boolean firstRun() {
        System.setProperty("vexlo.firstRun", "true");
        try {
            File marker = markerFile(System.getProperty("java.class.path"), System.getProperty("vexlo.moduleName"));
            if (marker == null) {
                System.err.println("vexlo: no first-run marker found beside " + MARKER_FOLDER + File.separator
                        + RUNTIME_JAR + " on the class path or above the launcher executable");
            } else if (!marker.delete()) {
                System.err.println("vexlo: cannot remove the first-run marker " + marker
                        + "; the next start runs as first run again");
            }
        } catch (RuntimeException e) {
            System.err.println("vexlo: first-run marker not handled: " + e);
        }
        return true;
    }

    /** The first existing marker by the rules above, or null. */
    private static File markerFile(String classPath, String moduleName) {
        for (File candidate : markerCandidates(classPath, moduleName)) {
            if (candidate.exists()) {
                return candidate;
            }
        }
        return null;
    }

    private static List<File> markerCandidates(String classPath, String moduleName) {
        List<File> candidates = new ArrayList<>();
        if (classPath != null) {
            for (String entry : classPath.split(Pattern.quote(File.pathSeparator))) {
                File jar = new File(entry.trim());
                File folder = jar.getParentFile();
                if (folder != null && jar.getName().equalsIgnoreCase(RUNTIME_JAR)
                        && folder.getName().equalsIgnoreCase(MARKER_FOLDER)) {
                    candidates.add(new File(folder, MARKER_NAME));
                }
            }
        }
        if (moduleName != null && !moduleName.trim().isEmpty()) {
            File executable = new File(moduleName.trim()).getAbsoluteFile();
            for (File folder = executable.getParentFile(); folder != null; folder = folder.getParentFile()) {
                candidates.add(new File(new File(folder, MARKER_FOLDER), MARKER_NAME));
            }
        }
        return candidates;
    }
}
