#!/usr/bin/env python3
"""check_layers.py -- checks a source tree and its configured build tree against a table of layers
(scripts/layers.txt): every include of the sources, every edge of CMake's link graph, and every built
program's shared libraries (SDL2 and OpenGL only where the table lets them in).

    check_layers.py TABLE SOURCE_DIR BUILD_DIR

Exit status 0 when everything keeps to the table, 1 with one line per violation otherwise.
"""
import os
import re
import subprocess
import sys
import tempfile

# Outside libraries, as includes name them and as CMake's link graph and the programs' NEEDED entries do.
EXTERNAL_INCLUDES = [
    ('SDL', 'SDL2'), ('GL/', 'OpenGL'), ('GLES', 'OpenGL'), ('EGL/', 'OpenGL'), ('KHR/', 'OpenGL'),
    ('gtest/', 'GTest'), ('gmock/', 'GTest'), ('benchmark/', 'benchmark'), ('CLI/', 'CLI11'),
    ('emscripten', 'emscripten'), ('stb_image', 'stb'),
]
EXTERNAL_LINKS = [
    (r'SDL2(_image)?(::.*)?|.*/libSDL2.*', 'SDL2'),
    (r'OpenGL::.*|GL|GLX|EGL|GLESv2|OpenGL|.*/lib(GL|GLX|EGL|GLESv2|OpenGL)[-._].*', 'OpenGL'),
    (r'GTest::.*|gtest.*|gmock.*', 'GTest'),
    (r'benchmark::.*', 'benchmark'),
    (r'CLI11::.*', 'CLI11'),
]
NEEDED = [(r'lib(SDL2|SDL2_image)[-.]', 'SDL2'), (r'lib(GL|GLX|EGL|GLESv[12]_CM|GLESv2|OpenGL)[-.]', 'OpenGL')]
EXTERNALS = {'SDL2', 'OpenGL', 'GTest', 'benchmark', 'CLI11', 'emscripten', 'stb'}
SKIP_DIRS = {'build', 'node_modules', '.git', 'dist'}


def read_table(path, problems):
    order, uses = [], {}
    for number, line in enumerate(open(path), 1):
        line = line.split('#', 1)[0].split()
        if not line:
            continue
        folder, allowed = line[0].rstrip('/'), [w.rstrip('/') for w in line[1:] if w != '-']
        if folder in uses:
            problems.append(f'{path}:{number}: {folder} has two lines')
        for name in allowed:
            if name not in EXTERNALS and name not in uses:
                problems.append(f'{path}:{number}: {folder} uses {name}, which is not a line above it')
        order.append(folder)
        uses[folder] = allowed
    return order, uses


def closure(uses):
    """Per folder: the folders it may use, directly or through the folders it names, and the outside
    libraries named on its own line (direct) or on any line it reaches (reached)."""
    folders, direct_ext, reached_ext = {}, {}, {}
    for folder in uses:  # lines only name lines above them, so one pass in order suffices
        fs, ext = set(), set()
        for name in uses[folder]:
            if name in EXTERNALS:
                ext.add(name)
            else:
                fs |= {name} | folders[name]
                ext |= reached_ext[name]
        folders[folder] = fs
        direct_ext[folder] = {n for n in uses[folder] if n in EXTERNALS}
        reached_ext[folder] = ext | direct_ext[folder]
    return folders, direct_ext, reached_ext


def folder_of(path, uses):
    best = None
    for folder in uses:
        if path == folder or path.startswith(folder + '/'):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def may_use(user, used, folders, direct_ext):
    if used in EXTERNALS:
        return used in direct_ext[user]
    return used == user or used in folders[user] or user.startswith(used + '/')


def check_includes(src, uses, folders, direct_ext, problems):
    include = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
    for top, dirs, files in os.walk(src):
        dirs[:] = sorted(d for d in dirs if d not in SKIP_DIRS and not d.startswith('.'))
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h', '.c')):
                continue
            path = os.path.relpath(os.path.join(top, name), src)
            user = folder_of(path, uses)
            if user is None:
                problems.append(f'{path}: its folder has no line in the table')
                continue
            for number, line in enumerate(open(os.path.join(top, name), errors='replace'), 1):
                m = include.match(line)
                if not m:
                    continue
                target = m.group(2)
                if m.group(1) == '"':
                    used = folder_of(target, uses)
                else:
                    used = next((ext for prefix, ext in EXTERNAL_INCLUDES if target.startswith(prefix)), None)
                if used and not may_use(user, used, folders, direct_ext):
                    problems.append(f'{path}:{number}: {user} includes {target} ({used}), which it may not use')


def target_folders(src, build, uses):
    """Target name -> folder, from the CMakeFiles/NAME.dir folders of the build tree."""
    targets = {}
    for top, dirs, _ in os.walk(build):
        if os.path.basename(top) == 'CMakeFiles':
            rel = os.path.relpath(os.path.dirname(top), build)
            for d in dirs:
                if d.endswith('.dir'):
                    targets[d[:-4]] = folder_of(rel, uses) if rel != '.' else None
            dirs[:] = []
    return targets


def external_of(label):
    return next((ext for pattern, ext in EXTERNAL_LINKS if re.fullmatch(pattern, label)), None)


def check_link_graph(build, targets, folders, direct_ext, problems):
    with tempfile.TemporaryDirectory() as scratch:
        dot = os.path.join(scratch, 'graph.dot')
        run = subprocess.run(['cmake', f'--graphviz={dot}', build], capture_output=True, text=True)
        if run.returncode != 0:
            problems.append(f'cmake --graphviz failed on {build}: {run.stderr.strip()}')
            return
        labels, edges = {}, []
        for line in open(dot):
            m = re.match(r'\s*"(node\d+)" \[ label = "([^"]*)"', line)
            if m:
                labels[m.group(1)] = m.group(2)
            m = re.match(r'\s*"(node\d+)" -> "(node\d+)"', line)
            if m:
                edges.append((m.group(1), m.group(2)))
    for a, b in edges:
        user_target, used_label = labels.get(a), labels.get(b)
        user = targets.get(user_target)
        if user is None:
            continue
        used = external_of(used_label) or targets.get(used_label)
        if used and not may_use(user, used, folders, direct_ext):
            problems.append(f'{user_target} ({user}) links {used_label} ({used}), which it may not use')


def check_programs(build, targets, reached_ext, problems):
    readelf = subprocess.run(['sh', '-c', 'command -v readelf'], capture_output=True).returncode == 0
    if not readelf:
        print('check_layers: readelf missing, programs not checked')
        return
    for top, dirs, files in os.walk(build):
        dirs[:] = [d for d in dirs if d != 'CMakeFiles']
        for name in files:
            path = os.path.join(top, name)
            if '.so' in name or not os.access(path, os.X_OK) or name not in targets:
                continue
            out = subprocess.run(['readelf', '-d', path], capture_output=True, text=True).stdout
            needed = re.findall(r'\(NEEDED\).*\[(.*)\]', out)
            folder = targets[name]
            for lib in needed:
                for pattern, ext in NEEDED:
                    if re.match(pattern, lib) and (folder is None or ext not in reached_ext[folder]):
                        problems.append(f'{os.path.relpath(path, build)} ({folder}) needs {lib} ({ext})')


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    table, src, build = sys.argv[1:]
    problems = []
    _, uses = read_table(table, problems)
    if not problems:
        folders, direct_ext, reached_ext = closure(uses)
        check_includes(src, uses, folders, direct_ext, problems)
        targets = target_folders(src, build, uses)
        check_link_graph(build, targets, folders, direct_ext, problems)
        check_programs(build, targets, reached_ext, problems)
    for problem in problems:
        print('check_layers: ' + problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
