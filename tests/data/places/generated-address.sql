DROP TABLE moz_places
CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url GENERATED ALWAYS AS (zeroblob(100000000)))
INSERT INTO moz_places (id) VALUES (1)
INSERT INTO moz_bookmarks (type, fk, parent) VALUES (1, 1, 3)
