PRAGMA journal_mode=WAL
PRAGMA wal_autocheckpoint=0
CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR)
CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER, parent INTEGER, position INTEGER, title LONGVARCHAR, dateAdded INTEGER, guid TEXT)
INSERT INTO moz_bookmarks (id, type, parent, title, guid) VALUES (1, 2, 0, '', 'root________'), (2, 2, 1, 'menu', 'menu________'), (3, 2, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 'tags', 'tags________'), (5, 2, 1, 'unfiled', 'unfiled_____'), (6, 2, 1, 'mobile', 'mobile______')
